// The table's bytes before any parsing: what is refused as no text table, with its own reason.
#include "input/byte_source.h"

#include <gtest/gtest.h>

#include <string>

#include "base/failure.h"

namespace {

using namespace std::string_literals;

const std::string kZip = "it is a zip archive, not a table",
                  kTar = "it is a tar archive; extract the table first",
                  kUtf16 = "it is UTF-16 text; save it as ASCII or UTF-8",
                  kBinary = "it holds binary data, not text",
                  kCr = "its lines end in CR alone (old Mac text); convert them to LF";

// "" where `run` goes through, else the reason it is refused with.
template <typename Run>
std::string refusal(Run run) {
  try {
    run();
    return "";
  } catch (const Failure& failure) {
    return failure.reason;
  }
}

TEST(CheckText, RefusesWhatIsNoTextTableWithItsReason) {
  std::string tar(1024, '\0');  // a header's name and magic: POSIX's "ustar", NUL, "00"
  tar.replace(0, 9, "table.txt").replace(257, 8, "ustar\00000"s);
  const std::string gnu_tar = std::string(tar).replace(257, 8, "ustar  \0"s);
  std::string text_tar(600, 'x');  // the magic where a header has it, but no NUL byte
  text_tar.replace(256, 10, "mustar  \r\n");
  const struct {
    std::string bytes, reason;
  } cases[] = {
      {"h\nh\nh\n1 2 3 4 5 6 7 8\n", ""},
      {"h\r\nh\r\nh\r\n1 2 3 4 5 6 7 8\r\n", ""},
      {text_tar, ""},
      {"h\rh\rh\r1 2 3 4 5 6 7 8\r", kCr},
      {"PK\3\4\x14\0\0\0"s, kZip},
      {"PK\5\6"s + std::string(18, '\0'), kZip},
      {tar, kTar},
      {gnu_tar, kTar},
      {"\xff\xfeh\0\n\0"s, kUtf16},
      {"h\0\n\0h\0"s, kUtf16},
      {"\0h\0\n\0h\0"s, kUtf16},
      {"h\0"s, kBinary},
      {std::string(100, '\0'), kBinary},
      {"h\rh\0"s, kBinary},
  };
  for (const auto& c : cases) EXPECT_EQ(refusal([&] { check_text(c.bytes); }), c.reason) << c.bytes;
}

}  // namespace
