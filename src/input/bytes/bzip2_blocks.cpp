#include "input/bytes/bzip2_blocks.h"

#include <bzlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/bytes/table_failure.h"

namespace histchart {

namespace {

constexpr std::uint64_t kBlockMagic = 0x314159265359, kEndMagic = 0x177245385090;

// The file's bits, first bit the highest of the first byte, as bzip2 writes them.
class Bits {
 public:
  explicit Bits(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t size() const { return std::uint64_t{bytes_.size()} * 8; }
  // The `count` (at most 57) bits from bit `at`; zeros past the end.
  std::uint64_t get(std::uint64_t at, int count) const {
    std::uint64_t word = 0;
    const std::size_t first = at / 8;
    for (std::size_t i = 0; i < 8; ++i) {
      const std::size_t k = first + i;
      word = word << 8 | (k < bytes_.size() ? static_cast<unsigned char>(bytes_[k]) : 0u);
    }
    return (word << (at % 8)) >> (64 - count);
  }

 private:
  std::string_view bytes_;
};

struct Block {
  std::uint64_t begin, end;  // in bits: from its magic to the next magic
  char level;                // its stream's block size, '1' to '9'
};

// Every bit where a block's or a stream end's magic starts, in order, read through in windows.
// The byte after a magic's first (partial or whole) byte tells which shifts can start there,
// so most bytes take one table lookup.
std::vector<std::uint64_t> magic_bits(int fd, std::uint64_t size) {
  std::array<std::uint8_t, 256> shifts{};
  for (int s = 0; s < 8; ++s) {
    for (std::uint64_t magic : {kBlockMagic, kEndMagic}) {
      // A magic starting at bit s of byte b fills byte b + 1 with its bits 8 - s to 15 - s.
      shifts[(magic >> (32 + s)) & 0xff] |= static_cast<std::uint8_t>(1u << s);
    }
  }
  constexpr std::uint64_t kWindow = std::uint64_t{4} << 20;
  std::vector<std::uint64_t> found;
  for (std::uint64_t window = 0; window < size; window += kWindow) {
    // A magic that starts in this window may end in the next.
    const std::string bytes = read_part(
        fd, window, static_cast<std::size_t>(std::min(size - window, kWindow + 8)), "bzip2");
    const Bits bits(bytes);
    const std::size_t starts =
        static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, bytes.size()));
    for (std::size_t b = 0; b < starts && b + 1 < bytes.size(); ++b) {
      const unsigned can = shifts[static_cast<unsigned char>(bytes[b + 1])];
      if (can == 0) [[likely]] {
        continue;
      }
      for (int s = 0; s < 8; ++s) {
        const std::uint64_t at = std::uint64_t{b} * 8 + static_cast<unsigned>(s);
        if (!(can >> s & 1) || at + 48 > bits.size()) continue;
        const std::uint64_t word = bits.get(at, 48);
        if (word == kBlockMagic || word == kEndMagic) found.push_back(window * 8 + at);
        if (found.size() > 2 * kMostParts) return {};
      }
    }
  }
  return found;
}

// The `count` bits of the file from bit `at`; zeros past its end.
std::uint64_t file_bits(int fd, std::uint64_t size, std::uint64_t at, int count) {
  const std::uint64_t first = at / 8;
  const std::string bytes = read_part(
      fd, first, static_cast<std::size_t>(std::min<std::uint64_t>(size - first, 8)), "bzip2");
  return Bits(bytes).get(at % 8, count);
}

// The blocks of the streams that make up the file, each stream's checksum checked against its
// blocks'; empty where they do not make up the file exactly.
std::vector<Block> find_blocks(int fd, std::uint64_t size) {
  const std::vector<std::uint64_t> magics = magic_bits(fd, size);
  std::vector<Block> blocks;
  std::size_t next = 0;  // the first magic not yet passed
  for (std::uint64_t stream = 0; stream < size;) {
    if (size - stream < 4) return {};
    const std::string head = read_part(fd, stream, 4, "bzip2");
    if (head.substr(0, 3) != "BZh" || head[3] < '1' || head[3] > '9') return {};
    const char level = head[3];
    std::uint64_t at = stream * 8 + 32;
    std::uint32_t combined = 0;
    while (next < magics.size() && magics[next] < at) ++next;
    for (;;) {
      if (next == magics.size() || magics[next] != at) return {};
      if (file_bits(fd, size, at, 48) == kEndMagic) break;
      // The next magic past this one's checksum ends the block.
      std::size_t end = next + 1;
      while (end < magics.size() && magics[end] < at + 80) ++end;
      if (end == magics.size() || blocks.size() == kMostParts) return {};
      const auto crc = static_cast<std::uint32_t>(file_bits(fd, size, at + 48, 32));
      combined = (combined << 1 | combined >> 31) ^ crc;
      blocks.push_back({at, magics[end], level});
      at = magics[end];
      next = end;
    }
    if (at + 80 > size * 8 || file_bits(fd, size, at + 48, 32) != combined) return {};
    stream = (at + 80 + 7) / 8;
  }
  return blocks;
}

// A stream of the one block: the header, the block's bits moved to the byte boundary after
// it, the end's magic and the block's checksum as the stream's, and zero bits to a byte.
// `bytes` are the file's from the byte the block starts in.
std::string block_stream(std::string_view bytes, const Block& block) {
  std::string stream = "BZh";
  stream += block.level;
  const std::uint64_t begin = block.begin % 8, end = block.end - block.begin / 8 * 8;
  stream.reserve(4 + (end - begin) / 8 + 16);
  const auto byte = [&](std::uint64_t k) {
    return k < bytes.size() ? static_cast<unsigned>(static_cast<unsigned char>(bytes[k])) : 0u;
  };
  const auto shift = static_cast<unsigned>(begin);
  std::uint64_t at = begin;
  for (std::uint64_t k = 0; at + 8 <= end; at += 8, ++k) {
    stream += static_cast<char>((byte(k) << shift | byte(k + 1) >> (8 - shift)) & 0xff);
  }
  // The block's last bits, then the end: kept in a word, written out a byte at a time.
  const Bits bits(bytes);
  int held = static_cast<int>(end - at);
  std::uint64_t word = held > 0 ? bits.get(at, held) : 0;
  auto put = [&](std::uint64_t value, int count) {
    word = word << count | value;
    held += count;
    while (held >= 8) {
      held -= 8;
      stream += static_cast<char>(word >> held & 0xff);
    }
  };
  put(kEndMagic, 48);
  put(bits.get(begin + 48, 32), 32);
  if (held > 0) put(0, 8 - held);
  return stream;
}

}  // namespace

std::unique_ptr<SideBySide> bzip2_blocks(int fd, std::uint64_t size, int threads) {
  std::vector<Block> blocks = find_blocks(fd, size);
  if (blocks.size() < 2) return nullptr;
  const std::size_t count = blocks.size();
  auto decode = [fd, blocks = std::move(blocks)](std::size_t part, PartSink& sink) {
    const Block& block = blocks[part];
    const std::uint64_t first = block.begin / 8;
    std::string stream = block_stream(
        read_part(fd, first, static_cast<std::size_t>((block.end + 7) / 8 - first), "bzip2"),
        block);
    bz_stream state{};
    if (BZ2_bzDecompressInit(&state, 0, 0) != BZ_OK) does_not_fit();
    std::unique_ptr<bz_stream, int (*)(bz_stream*)> ending(&state, BZ2_bzDecompressEnd);
    state.next_in = stream.data();
    state.avail_in = static_cast<unsigned>(stream.size());
    for (int result = BZ_OK; result != BZ_STREAM_END;) {
      const std::span<char> room = sink.room();
      if (room.empty()) return;
      state.next_out = room.data();
      state.avail_out = static_cast<unsigned>(room.size());
      while (state.avail_out > 0 && result != BZ_STREAM_END) {
        const unsigned before = state.avail_in + state.avail_out;
        result = BZ2_bzDecompress(&state);
        if (result == BZ_MEM_ERROR) does_not_fit();
        if (result != BZ_OK && result != BZ_STREAM_END) damaged("bzip2", "data integrity error");
        if (result == BZ_OK && state.avail_in + state.avail_out == before) cut_short("bzip2");
      }
      sink.hand_on(room.size() - state.avail_out, blocks[part].end / 8);
    }
  };
  return SideBySide::start(count, threads, decode);
}

}  // namespace histchart
