#include "base/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace histchart;

TEST(Progress, TheLineFitsTheTerminalTheCountsKeptLongest) {
  // Fewer columns than the terminal has: a line that wraps cannot be erased in place. The name
  // gives way first, never inside a UTF-8 sequence.
  const std::tuple<std::string, int, std::string> cases[] = {
      {"reading 'a.txt'", 33, "histchart: reading 'a.txt': 5 kB"},
      {"reading 'a.txt'", 32, "histchart: reading 'a....: 5 kB"},
      {"reading '\xc3\xa9\xc3\xa9\xc3\xa9'", 31, "histchart: reading '...: 5 kB"},
      {"reading '\xc3\xa9\xc3\xa9\xc3\xa9'", 32, "histchart: reading '\xc3\xa9...: 5 kB"},
      {"reading 'a.txt'", 21, "histchart: reading '"},
  };
  for (const auto& [what, columns, line] : cases) {
    EXPECT_EQ(fitted_status_line(what, "5 kB", columns), line) << columns;
  }
}
