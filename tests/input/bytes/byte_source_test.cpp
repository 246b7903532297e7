// The table's bytes before any parsing: what is refused as no text table, with its own reason,
// the format its first bytes tell, and compressed streams whose bytes come over a pipe one read
// at a time.
#include "input/bytes/byte_source.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
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

// Skippable frames start zstd files (pzstd's) and lz4 files alike: the frame after them tells,
// read from as much of a pipe as they take.
TEST(SniffCompression, TellsEachFormatPastSkippableFrames) {
  const struct {
    std::string head;
    Compression format;
    std::size_t wanted;
  } cases[] = {
      {kSkippable + kSkippable + "\x04\x22\x4d\x18\x64\x40"s, Compression::lz4, 42},
      {"\x5f\x2a\x4d\x18\xf0\0\0\0"s, Compression::zstd, 8 + 240 + 18},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sniff_compression(c.head), c.format) << c.head;
    EXPECT_EQ(sniff_bytes_wanted(c.head), c.wanted) << c.head;
  }
}

// Two small tables, each compressed alone (gzip -n, bzip2).
const std::string kA = "h\nh\nh\n1 2 3 4 5 6 7 8\n", kB = "2 3 4 5 6 7 8 9\n";
const std::string kAGz =
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xcb\xe0\xca\x00\x42\x43\x05\x23\x05\x63\x05\x13"
    "\x05\x53\x05\x33\x05\x73\x05\x0b\x2e\x00\xdf\x3c\xc9\x04\x16\x00\x00\x00"s;
const std::string kBGz =
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x33\x52\x30\x56\x30\x51\x30\x55\x30\x53\x30\x57"
    "\xb0\x50\xb0\xe4\x02\x00\xdf\xff\xb5\x5c\x10\x00\x00\x00"s;
const std::string kABz2 =
    "\x42\x5a\x68\x39\x31\x41\x59\x26\x53\x59\x56\xa7\x62\x7c\x00\x00\x0a\xd9\x00\x00\x10\x40"
    "\x00\x3f\xc0\x00\x40\x20\x00\x22\x34\x01\x90\x80\x69\xa6\x84\x15\x5e\x6f\x14\x50\x0e\x3c"
    "\x5d\xc9\x14\xe1\x42\x41\x5a\x9d\x89\xf0"s;
const std::string kBBz2 =
    "\x42\x5a\x68\x39\x31\x41\x59\x26\x53\x59\xc3\x71\xc4\x13\x00\x00\x04\x58\x00\x00\x10\x40"
    "\x00\x1f\xe0\x20\x00\x22\x34\x1a\x32\x10\x03\x07\x78\x77\x93\x4c\x0f\x17\x72\x45\x38\x50"
    "\x90\xc3\x71\xc4\x13"s;

// What `source` decodes to, into `text`: "" or the reason it is refused with.
std::string decode(ByteSource source, std::string& text) {
  return refusal([&] {
    std::vector<char> buffer(1 << 16);
    for (std::size_t got; (got = source.read(buffer.data(), buffer.size())) > 0;)
      text.append(buffer.data(), got);
  });
}

// `first`, then each byte of `slowly`, then `rest`, written into a pipe with a pause before
// each byte, so that the byte comes in a read of its own.
std::string read_pipe(Compression format, const std::string& first, const std::string& slowly,
                      const std::string& rest, std::string& text) {
  int ends[2];
  EXPECT_EQ(::pipe(ends), 0);
  std::thread writer([&] {
    std::vector<std::string> writes{first};
    for (char c : slowly) writes.emplace_back(1, c);
    writes.push_back(rest);
    for (const std::string& write : writes) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      EXPECT_EQ(::write(ends[1], write.data(), write.size()), static_cast<ssize_t>(write.size()));
    }
    ::close(ends[1]);
  });
  const std::string reason = decode(ByteSource(ends[0], format, {}), text);
  writer.join();
  ::close(ends[0]);
  return reason;
}

TEST(ByteSource, ReadsWhatFollowsAStreamOnceItsFirstBytesAreIn) {
  // Members whose headers have every optional field: BGZF's size, a name, a comment, its CRC.
  const std::string zeros(3000, '\0'), named = stored_gzip(kB, 65535, true, true);
  const struct {
    Compression format;
    std::string first, slowly, rest, text, reason;
  } cases[] = {
      {Compression::gzip, kAGz, kBGz.substr(0, 3), kBGz.substr(3), kA + kB, ""},
      {Compression::gzip, "", kAGz + kBGz, "", kA + kB, ""},
      {Compression::gzip, kAGz, zeros.substr(0, 3), zeros, kA, ""},
      {Compression::gzip, kAGz, zeros.substr(0, 3), zeros + "x", kA, kTrailing},
      {Compression::gzip, kAGz, "\x1f", "", kA, kTrailing},
      {Compression::gzip, kAGz, named.substr(0, 30), named.substr(30), kA + kB, ""},
      // A reserved flag bit in a member's header, which gzip refuses too.
      {Compression::gzip, kAGz, "", kBGz.substr(0, 3) + "\x20" + kBGz.substr(4), kA,
       "its gzip data is damaged (invalid gzip header)"},
      {Compression::bzip2, kABz2, kBBz2.substr(0, 4), kBBz2.substr(4), kA + kB, ""},
      {Compression::bzip2, kABz2, "BZ", "", kA, "it has data after its bzip2 stream"},
  };
  for (const auto& c : cases) {
    std::string text;
    EXPECT_EQ(read_pipe(c.format, c.first, c.slowly, c.rest, text), c.reason) << c.text;
    EXPECT_EQ(text, c.text);
  }
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
      std::string got;
      ::lseek(fd, 0, SEEK_SET);
      const std::string reason =
          decode(ByteSource(fd, Compression::gzip, {}, {threads, UINT64_MAX, UINT64_MAX}), got);
      EXPECT_TRUE(reason.empty() && got == text) << reason << cut << " on " << threads;
    }
  }
  ::lseek(fd, 0, SEEK_SET);
  ByteSource source(fd, Compression::gzip, {});
  LongWordRoom room(0);
  FileStretch stretch(fd, file.size(), kToTableEnd, room);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(file.size() - last.size())), 0);
  std::string got;
  EXPECT_EQ(decode(std::move(source), got), kChanged);
  EXPECT_EQ(refusal([&] { stretch.at(0); }), kChanged);
  ::close(fd);
}

}  // namespace
