// The table's bytes before any parsing: what is refused as no text table, with its own reason,
// the format its first bytes tell, and compressed streams whose bytes come over a pipe one read
// at a time.
#include "input/bytes/byte_source.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/failure.h"
#include "input/bytes/file_stretch.h"
#include "table_files.h"

using namespace histchart;

namespace {

using namespace std::string_literals;
using namespace table_files;

const std::string kZip = "it is a zip archive, not a table",
                  kTar = "it is a tar archive; extract the table first",
                  kUtf16 = "it is UTF-16 text; save it as ASCII or UTF-8",
                  kBinary = "it holds binary data, not text",
                  kCr = "its lines end in CR alone (old Mac text); convert them to LF",
                  kTrailing = "it has data after its gzip stream",
                  kChanged = "it changed while it was read";

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
      {std::string(kTextCheckBytes - 1, 'h') + "\r", ""},  // its LF comes next
      {"PK\3\4\x14\0\0\0"s, kZip},
      {"PK\5\6"s + std::string(18, '\0'), kZip},
      {tar, kTar},
      {gnu_tar, kTar},
      {"\xff\xfeh\0\n\0"s, kUtf16},
      {"h\0\n\0h\0"s, kUtf16},
      {"\0h\0\n\0h\0"s, kUtf16},
      {"LZIP header\n", ""},
      {"h\0"s, kBinary},
      {std::string(100, '\0'), kBinary},
      {"h\rh\0"s, kBinary},
  };
  for (const auto& c : cases) EXPECT_EQ(refusal([&] { check_text(c.bytes); }), c.reason) << c.bytes;
}

// Two small tables, each compressed alone.
const std::string kA = "h\nh\nh\n1 2 3 4 5 6 7 8\n", kB = "2 3 4 5 6 7 8 9\n";
const std::string kAGz = stored_gzip(kA), kBGz = stored_gzip(kB),
                  kABz2 = compressed(Compression::bzip2, kA),
                  kBBz2 = compressed(Compression::bzip2, kB);

// `first`, then each byte of `slowly`, then `rest`, each in a read of its own, decoded.
std::string read_pipe(Compression format, const std::string& first, const std::string& slowly,
                      const std::string& rest) {
  std::vector<std::string> writes{first};
  for (char c : slowly) writes.emplace_back(1, c);
  writes.push_back(rest);
  const SlowPipe pipe(writes);
  return decoded(ByteSource(pipe.fd(), format, {}));
}

TEST(ByteSource, ReadsWhatFollowsAStreamOnceItsFirstBytesAreIn) {
  // Members whose headers have every optional field: BGZF's size, a name, a comment, its CRC.
  const std::string zeros(3000, '\0'), named = stored_gzip(kB, 65535, true, true),
                                       trailing = "refused: " + kTrailing;
  const struct {
    Compression format;
    std::string first, slowly, rest, decoded;
  } cases[] = {
      {Compression::gzip, kAGz, kBGz.substr(0, 3), kBGz.substr(3), kA + kB},
      {Compression::gzip, "", kAGz + kBGz, "", kA + kB},
      {Compression::gzip, kAGz, zeros.substr(0, 3), zeros, kA},
      {Compression::gzip, kAGz, zeros.substr(0, 3), zeros + "x", trailing},
      {Compression::gzip, kAGz, "\x1f", "", trailing},
      {Compression::gzip, kAGz, named.substr(0, 30), named.substr(30), kA + kB},
      // A reserved flag bit in a member's header, which gzip refuses too.
      {Compression::gzip, kAGz, "", kBGz.substr(0, 3) + "\x20" + kBGz.substr(4),
       "refused: its gzip data is damaged (invalid gzip header)"},
      {Compression::bzip2, kABz2, kBBz2.substr(0, 4), kBBz2.substr(4), kA + kB},
      {Compression::bzip2, kABz2, "BZ", "", "refused: it has data after its bzip2 stream"},
  };
  for (const auto& c : cases) EXPECT_EQ(read_pipe(c.format, c.first, c.slowly, c.rest), c.decoded);
}

// A regular file's reads: a member's header with every optional field, cut by one wherever it
// may be (five members of text and the empty last one, which starts `cut` bytes before a read
// ends), on one thread and on several; and the file cut short at that member after its reading
// was planned, which only its size shows (a plain file's stretch alike).
TEST(ByteSource, ReadsMemberHeadersCutByAFilesReadsAndNoticesTheFileCutShort) {
  const std::string last = stored_gzip("", 60000, true, true);
  const int fd = ::memfd_create("table", 0);
  std::string file;
  for (std::size_t cut = 1; cut < last.size() - 13; ++cut) {
    const std::string text(RawInput::kBuffer - cut - 5 * last.size(), 'x');
    file = stored_gzip(text, 60000, true, true);
    ASSERT_EQ(::ftruncate(fd, 0) + ::pwrite(fd, file.data(), file.size(), 0), file.size());
    for (const int threads : {1, 3}) {  // one decoder, or the members side by side
      ::lseek(fd, 0, SEEK_SET);
      const std::string got =
          decoded(ByteSource(fd, Compression::gzip, {}, {threads, UINT64_MAX, UINT64_MAX}));
      EXPECT_TRUE(got == text) << got.substr(0, 80) << cut << " on " << threads;
    }
  }
  ::lseek(fd, 0, SEEK_SET);
  ByteSource source(fd, Compression::gzip, {});
  LongWordRoom room(0);
  FileStretch stretch(fd, file.size(), kToTableEnd, room);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(file.size() - last.size())), 0);
  EXPECT_EQ(decoded(std::move(source)), "refused: " + kChanged);
  EXPECT_EQ(refusal([&] { stretch.at(0); }), kChanged);
  ::close(fd);
}

}  // namespace
