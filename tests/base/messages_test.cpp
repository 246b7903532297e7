#include "base/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace histchart;

TEST(Messages, ShowControlBytesOfANameAsHexAndTheRestAsItIs) {
  // The edges of the C0 and C1 ranges, as lone bytes and in UTF-8, and bytes beyond ASCII
  // (UTF-8 names, where a sequence may hold a byte of the C1 range) left whole.
  const std::pair<std::string, std::string> cases[] = {
      {"out/run 7_", "out/run 7_"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"a\nb\x1f~\x7f", "a\\x0ab\\x1f~\\x7f"},
      {"\x1b[31m", "\\x1b[31m"},
      {"d\xc3\xa9j\xc3\xa0\x80\xff", "d\xc3\xa9j\xc3\xa0\\x80\xff"},
      {"\x9b"
       "31m\x9f\xa0",
       "\\x9b31m\\x9f\xa0"},
      {"\xc2\x9b"
       "2J\xc2\x80\xc2\x9f\xc2\xa0\xc2",
       "\\xc2\\x9b2J\\xc2\\x80\\xc2\\x9f\xc2\xa0\xc2"},
      {"\xe2\x82\xac \xf0\x9f\x98\x80 \xe2\x80\n \xe2\x82",
       "\xe2\x82\xac \xf0\x9f\x98\x80 \xe2\\x80\\x0a \xe2\\x82"},
      {"\xe0\x82\x80\xed\xa0\x80", "\xe0\\x82\\x80\xed\xa0\\x80"},
  };
  for (const auto& [name, shown] : cases) {
    EXPECT_EQ(printable(name), shown);
    EXPECT_EQ(diagnostic("cannot write chart", name, "No such file or directory"),
              "histchart: cannot write chart '" + shown + "': No such file or directory");
  }
}

TEST(Messages, ALineErasesTheProgressLineStandingBeforeIt) {
  testing::internal::CaptureStderr();  // what a terminal would receive
  show_status_line("reading: 5 kB");
  print_line("histchart: a message");
  print_line("histchart: another");  // nothing to erase any more
  show_status_line("reading: 9 kB");
  erase_status_line();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\r\x1b[Kreading: 5 kB\r\x1b[Khistchart: a message\nhistchart: another\n"
            "\r\x1b[Kreading: 9 kB\r\x1b[K");
}
