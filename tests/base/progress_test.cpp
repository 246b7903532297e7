#include "base/progress.h"

#include <gtest/gtest.h>

#include <string>

TEST(Progress, TheLineFitsTheTerminalTheCountsKeptLongest) {
  // Fewer columns than the terminal has, whatever they are: a line that wraps cannot be
  // erased in place.
  struct Case {
    std::string what, counts;
    int columns;
    std::string line;
  };
  const Case cases[] = {
      {"reading 'a.txt'", "5 kB", 80, "histchart: reading 'a.txt': 5 kB"},
      {"reading 'a.txt'", "5 kB", 33, "histchart: reading 'a.txt': 5 kB"},
      {"reading 'a.txt'", "5 kB", 32, "histchart: reading 'a....: 5 kB"},
      {"reading '/d/table.txt'", "19 kB, 2 MB/s", 40, "histchart: reading '/...: 19 kB, 2 MB/s"},
      // A name of two-byte characters is never cut inside one.
      {"reading '\xc3\xa9\xc3\xa9\xc3\xa9'", "7 kB", 31, "histchart: reading '...: 7 kB"},
      {"reading '\xc3\xa9\xc3\xa9\xc3\xa9'", "7 kB", 32, "histchart: reading '\xc3\xa9...: 7 kB"},
      {"drawing the charts", "2 of 7", 20, "histchart: drawing "},
      {"drawing the charts", "2 of 7", 1, ""},
  };
  for (const Case& c : cases) {
    const std::string line = fitted_status_line(c.what, c.counts, c.columns);
    EXPECT_EQ(line, c.line) << c.columns;
    EXPECT_LT(line.size(), static_cast<std::size_t>(c.columns)) << c.columns;
  }
}
