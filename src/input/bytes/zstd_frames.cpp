#include "input/bytes/zstd_frames.h"

#define ZSTD_STATIC_LINKING_ONLY  // the frame header's window
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "input/bytes/decoding_threads.h"
#include "input/bytes/table_failure.h"

namespace histchart {

namespace {

struct Frame {
  std::uint64_t offset, size;
  bool skippable = false;
};

std::uint32_t little_endian(const std::string& bytes, std::size_t at, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

// The frame at `at`, from its header and its blocks' headers; nothing where they are not those
// of a frame that ends within the file, or it needs a larger window than a decoder is paid for.
std::optional<Frame> frame_at(int fd, std::uint64_t at, std::uint64_t size) {
  const std::string head =
      read_part(fd, at, static_cast<std::size_t>(std::min<std::uint64_t>(size - at, 18)), "zstd");
  if (head.size() < 8) return std::nullopt;
  if ((little_endian(head, 0, 4) & ZSTD_MAGIC_SKIPPABLE_MASK) == ZSTD_MAGIC_SKIPPABLE_START) {
    return Frame{at, 8 + std::uint64_t{little_endian(head, 4, 4)}, true};
  }
  ZSTD_frameHeader header{};
  if (ZSTD_getFrameHeader(&header, head.data(), head.size()) != 0 ||
      header.windowSize > kWindowInOverhead) {
    return std::nullopt;
  }
  // The frame header descriptor gives the header's size: the magic, the descriptor, a window
  // byte unless single-segment, the dictionary id's and the content size's bytes.
  if (little_endian(head, 0, 4) != ZSTD_MAGICNUMBER) return std::nullopt;
  const auto descriptor = static_cast<unsigned char>(head[4]);
  if ((descriptor & 0x08) != 0) return std::nullopt;  // reserved
  const bool single_segment = (descriptor & 0x20) != 0;
  constexpr int kDictionaryBytes[] = {0, 1, 2, 4}, kSizeBytes[] = {0, 2, 4, 8};
  const int size_bytes =
      (descriptor >> 6) == 0 ? (single_segment ? 1 : 0) : kSizeBytes[descriptor >> 6];
  const std::uint64_t header_size =
      5 + (single_segment ? 0 : 1) + kDictionaryBytes[descriptor & 3] + size_bytes;
  const bool checksum = (descriptor & 0x04) != 0;
  std::uint64_t end = at + header_size;
  for (bool last = false; !last;) {
    if (end + 3 > size) return std::nullopt;
    const std::uint32_t block = little_endian(read_part(fd, end, 3, "zstd"), 0, 3);
    last = (block & 1) != 0;
    const std::uint32_t type = block >> 1 & 3, block_size = block >> 3;
    if (type == 3) return std::nullopt;
    end += 3 + (type == 1 ? 1 : block_size);  // a run of one byte, or the bytes as they stand
  }
  end += checksum ? 4 : 0;
  if (end > size) return std::nullopt;
  return Frame{at, end - at};
}

}  // namespace

std::unique_ptr<SideBySide> zstd_frames(int fd, std::uint64_t size, int threads) {
  std::vector<Frame> frames;
  for (std::uint64_t at = 0; at < size;) {
    const std::optional<Frame> frame = frame_at(fd, at, size);
    if (!frame || frame->size > size - at || frames.size() == kMostParts) return nullptr;
    // A skippable frame holds nothing of the table: no part of its own.
    if (!frame->skippable) frames.push_back(*frame);
    at += frame->size;
  }
  if (frames.size() < 2) return nullptr;
  const std::size_t count = frames.size();
  auto decode = [fd, frames = std::move(frames)](std::size_t part, PartSink& sink) {
    std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!context) does_not_fit();
    // Frames are listed only where their windows are no larger than a decoder is paid for.
    ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, 23);
    const Frame frame = frames[part];
    std::string compressed;
    std::uint64_t read = 0;  // of the frame
    ZSTD_inBuffer input{nullptr, 0, 0};
    for (std::size_t left = 1; left != 0;) {
      const std::span<char> room = sink.room();
      if (room.empty()) return;
      ZSTD_outBuffer output{room.data(), room.size(), 0};
      while (output.pos < output.size && left != 0) {
        if (input.pos == input.size && read < frame.size) {
          const auto n =
              static_cast<std::size_t>(std::min<std::uint64_t>(frame.size - read, 1 << 20));
          compressed = read_part(fd, frame.offset + read, n, "zstd");
          read += n;
          input = {compressed.data(), compressed.size(), 0};
        }
        const std::size_t before = output.pos + input.pos;
        left = ZSTD_decompressStream(context.get(), &output, &input);
        if (ZSTD_getErrorCode(left) == ZSTD_error_memory_allocation) does_not_fit();
        if (ZSTD_isError(left)) damaged("zstd", ZSTD_getErrorName(left));
        if (left != 0 && output.pos + input.pos == before && read == frame.size) cut_short("zstd");
      }
      sink.hand_on(output.pos, frame.offset + read - (input.size - input.pos));
    }
  };
  return SideBySide::start(count, threads, decode);
}

}  // namespace histchart
