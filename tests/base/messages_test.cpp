#include "base/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(Messages, ShowControlBytesOfANameAsHexAndTheRestAsItIs) {
  // The edges of the control range, and bytes beyond ASCII (UTF-8 names) left whole.
  const std::pair<std::string, std::string> cases[] = {
      {"out/run 7_", "out/run 7_"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"a\nb\x1f~\x7f", "a\\x0ab\\x1f~\\x7f"},
      {"\x1b[31m", "\\x1b[31m"},
      {"d\xc3\xa9j\xc3\xa0\x80\xff", "d\xc3\xa9j\xc3\xa0\x80\xff"},
  };
  for (const auto& [name, shown] : cases) {
    EXPECT_EQ(printable(name), shown);
    EXPECT_EQ(diagnostic("cannot write chart", name, "No such file or directory"),
              "histchart: cannot write chart '" + shown + "': No such file or directory");
  }
  EXPECT_EQ(counted(1, "is not a number", "are not numbers"), "1 is not a number");
  EXPECT_EQ(counted(2, "is not a number", "are not numbers"), "2 are not numbers");
}
