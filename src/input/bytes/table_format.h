// What a table is, told from its first bytes: the compression format its magic bytes announce
// (never its name), and the checks that refuse what is no text table at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace histchart {

enum class Compression { none, gzip, zstd, xz, bzip2, lz4, lzma };

// The format that the leading bytes of a table announce, past any skippable frames (zstd's
// and lz4's, which share their magic numbers).
Compression sniff_compression(std::string_view head);
// How many leading bytes sniff_compression needs to tell the format (and a zstd frame's
// window) from `head`, the bytes read so far: more than it holds only where its skippable
// frames are not yet passed; never more than kTextCheckBytes.
std::size_t sniff_bytes_wanted(std::string_view head);

// The memory for past bytes that the decoder of `format` needs from the start of `head`: the
// window of the first zstd frame past skippable frames, or the dictionary of a .lzma stream.
// 0 for other formats, or where `head` does not show it.
std::uint64_t decoder_window(Compression format, std::string_view head);

// Refuses (cannot_read) a table whose first bytes (at least the first 64 KiB of it,
// after decompression) are not text: an archive or compressed data of a format that is not
// read, UTF-32 or UTF-16 (a byte-order mark at the start, or zero bytes where ASCII text in
// them has them) or binary data (a NUL byte).
void check_text(std::string_view first_bytes);
inline constexpr std::size_t kTextCheckBytes = std::size_t{64} << 10;

// As the formats' own tools name them.
const char* name_of(Compression format);

bool starts_with(std::string_view bytes, std::string_view magic);

// A zstd or lz4 skippable frame starts `bytes` (the two formats share them).
bool skippable(std::string_view bytes);

inline constexpr std::string_view kLz4Magic = "\x04\x22\x4d\x18";

}  // namespace histchart
