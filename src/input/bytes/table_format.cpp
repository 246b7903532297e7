#include "input/bytes/table_format.h"

#include <bit>
#include <string>

#define ZSTD_STATIC_LINKING_ONLY  // the frame header, read before libzstd takes its window
#include <zstd.h>

#include "input/bytes/table_failure.h"

namespace histchart {

namespace {

constexpr std::string_view kZstdMagic = "\x28\xb5\x2f\xfd";

std::uint32_t little_endian(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Where the first frame that is not skippable begins, as far as `head` shows: beyond its end
// where a skippable frame runs past it.
std::uint64_t past_skippable(std::string_view head) {
  std::uint64_t at = 0;
  while (skippable(head.substr(at))) {
    if (head.size() - at < 8) return at + 8;
    at += 8 + std::uint64_t{little_endian(head, at + 4)};
    if (at > head.size()) break;
  }
  return at;
}

// The legacy .lzma header: the properties byte (lc, lp, pb), the dictionary's size, which xz
// and the LZMA SDK round to 2^n or 2^n + 2^(n-1), and the table's size or all ones where
// unknown. Such a size has at least two zero bytes, which no text has.
bool is_lzma(std::string_view head) {
  if (head.size() < 13 || static_cast<unsigned char>(head[0]) >= 9 * 5 * 5) return false;
  const std::uint32_t dictionary = little_endian(head, 1);
  const std::uint32_t top = dictionary & (UINT32_C(1) << (31 - std::countl_zero(dictionary | 1)));
  if (dictionary < 4096 || (dictionary != top && dictionary != top + top / 2)) return false;
  return head.substr(5, 8) == std::string(8, '\xff') || head.substr(10, 3) == std::string(3, '\0');
}

// UTF-16 without a byte-order mark, as far as ASCII goes: every other byte is zero, and the
// others are not all zero (that would be binary data).
bool is_utf16(std::string_view block) {
  const std::size_t size = block.size() & ~std::size_t{1};
  if (size < 4) return false;
  bool even_zero = true, odd_zero = true;
  for (std::size_t i = 0; i < size && (even_zero || odd_zero); i += 2) {
    even_zero = even_zero && block[i] == '\0';
    odd_zero = odd_zero && block[i + 1] == '\0';
  }
  return even_zero != odd_zero;
}

// UTF-32 without a byte-order mark, as far as the 16 bits of most scripts go: the high half of
// every character zero, at its end (little-endian) or its start, and not every character zero.
bool is_utf32(std::string_view block) {
  const std::size_t size = block.size() & ~std::size_t{3};
  if (size < 8) return false;
  bool little = true, big = true, little_any = false, big_any = false;
  for (std::size_t i = 0; i < size && (little || big); i += 4) {
    little = little && block[i + 2] == '\0' && block[i + 3] == '\0';
    big = big && block[i] == '\0' && block[i + 1] == '\0';
    little_any = little_any || block[i] != '\0' || block[i + 1] != '\0';
    big_any = big_any || block[i + 2] != '\0' || block[i + 3] != '\0';
  }
  return (little && little_any) || (big && big_any);
}

}  // namespace

bool starts_with(std::string_view bytes, std::string_view magic) {
  return bytes.substr(0, magic.size()) == magic;
}

// zstd and lz4 share these: 0x184D2A50 to 0x184D2A5F, then the size of what is skipped.
bool skippable(std::string_view bytes) {
  return bytes.size() >= 4 && (little_endian(bytes, 0) & 0xfffffff0) == ZSTD_MAGIC_SKIPPABLE_START;
}

// As the formats' own tools name them, in the order of Compression.
const char* name_of(Compression format) {
  constexpr const char* kNames[] = {"plain", "gzip", "zstd", "xz", "bzip2", "lz4", "lzma"};
  return kNames[static_cast<int>(format)];
}

Compression sniff_compression(std::string_view head) {
  // Skippable frames lead zstd files (pzstd writes one first) and lz4 files alike: the frame
  // after them tells which, and where none is seen, zstd's are far the more common.
  if (const std::uint64_t at = past_skippable(head); at > 0) {
    return at < head.size() && starts_with(head.substr(at), kLz4Magic) ? Compression::lz4
                                                                       : Compression::zstd;
  }
  if (starts_with(head, "\x1f\x8b")) return Compression::gzip;
  if (starts_with(head, kZstdMagic)) return Compression::zstd;
  if (starts_with(head, kLz4Magic)) return Compression::lz4;
  if (starts_with(head, std::string_view("\xfd"
                                         "7zXZ\0",
                                         6)))
    return Compression::xz;
  // "BZh", the block size digit, then the magic of a first block or of an empty stream's end:
  // a header line that happens to start with "BZh9" is still text.
  if (head.size() >= 10 && starts_with(head, "BZh") && head[3] >= '1' && head[3] <= '9' &&
      (head.substr(4, 6) == "\x31\x41\x59\x26\x53\x59" ||
       head.substr(4, 6) == "\x17\x72\x45\x38\x50\x90")) {
    return Compression::bzip2;
  }
  if (is_lzma(head)) return Compression::lzma;
  return Compression::none;
}

std::size_t sniff_bytes_wanted(std::string_view head) {
  return static_cast<std::size_t>(
      std::min<std::uint64_t>(past_skippable(head) + ZSTD_FRAMEHEADERSIZE_MAX, kTextCheckBytes));
}

std::uint64_t decoder_window(Compression format, std::string_view head) {
  if (format == Compression::lzma) return little_endian(head, 1);
  if (format != Compression::zstd) return 0;
  const std::uint64_t at = past_skippable(head);
  ZSTD_frameHeader header{};
  if (at >= head.size() || ZSTD_getFrameHeader(&header, head.data() + at, head.size() - at) != 0 ||
      header.frameType != ZSTD_frame) {
    return 0;
  }
  return header.windowSize;
}

void check_text(std::string_view first_bytes) {
  const std::string_view block = first_bytes.substr(0, kTextCheckBytes);
  // Archives and UTF-16 are full of NUL bytes too: they are told apart first, so that the
  // user learns what to do with them.
  if (starts_with(block, "PK\x03\x04") || starts_with(block, "PK\x05\x06")) {
    cannot_read("it is a zip archive, not a table");
  }
  // A tar header's magic, POSIX's and GNU's, holds a NUL byte, which no text table has.
  if (block.size() >= 512 && (block.substr(257, 6) == std::string_view("ustar\0", 6) ||
                              block.substr(257, 8) == std::string_view("ustar  \0", 8))) {
    cannot_read("it is a tar archive; extract the table first");
  }
  // Compressed formats that are not read, and the legacy lz4 format, each named with the tool
  // that reads it.
  if (starts_with(block, "LZIP") && block.size() > 4 && static_cast<unsigned char>(block[4]) <= 1) {
    cannot_read("it is lzip data; decompress it first (lzip -d)");
  }
  if (starts_with(block, "\x1f\x9d")) {
    cannot_read("it is compress (.Z) data; decompress it first (uncompress)");
  }
  if (starts_with(block, "7z\xbc\xaf\x27\x1c")) {
    cannot_read("it is a 7z archive; extract the table first (7z x)");
  }
  if (starts_with(block, "\x02\x21\x4c\x18")) {
    cannot_read("it is lz4 data in the legacy format; decompress it first (lz4 -d)");
  }
  // UTF-32's byte-order marks start like UTF-16's, and its text has every other byte zero too.
  if (starts_with(block, std::string_view("\xff\xfe\0\0", 4)) ||
      starts_with(block, std::string_view("\0\0\xfe\xff", 4)) || is_utf32(block)) {
    cannot_read("it is UTF-32 text; save it as ASCII or UTF-8");
  }
  if (starts_with(block, "\xff\xfe") || starts_with(block, "\xfe\xff") || is_utf16(block)) {
    cannot_read("it is UTF-16 text; save it as ASCII or UTF-8");
  }
  if (block.find('\0') != std::string_view::npos) cannot_read("it holds binary data, not text");
  // Read with LF line ends, it would be one header line: seven empty charts and no word why. A
  // CR that ends the bytes checked may have its LF just past them.
  if (block.find('\r') < kTextCheckBytes - 1 && block.find('\n') == std::string_view::npos) {
    cannot_read("its lines end in CR alone (old Mac text); convert them to LF");
  }
}

}  // namespace histchart
