#include "input/zstd_frames.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <string_view>
#include <vector>

#include "input/table_failure.h"

std::unique_ptr<SideBySide> zstd_frames(int fd, int threads) {
  std::unique_ptr<MappedFile> file = MappedFile::of(fd);
  if (!file) return nullptr;
  const std::string_view bytes = file->bytes();
  std::vector<std::string_view> frames;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t frame = ZSTD_findFrameCompressedSize(bytes.data() + at, bytes.size() - at);
    if (ZSTD_isError(frame) || frame == bytes.size()) return nullptr;
    frames.push_back(bytes.substr(at, frame));
    at += frame;
  }
  const char* start = bytes.data();
  auto decode = [frames, start](std::size_t unit, UnitSink& sink) {
    std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!context) does_not_fit();
    // A frame that needs a larger window than a decoder is paid for fails here, and goes to the
    // one decoder in order.
    ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, 23);
    const std::string_view frame = frames[unit];
    ZSTD_inBuffer input{frame.data(), frame.size(), 0};
    for (std::size_t left = 1; left != 0;) {
      const std::span<char> room = sink.room();
      if (room.empty()) return;
      ZSTD_outBuffer output{room.data(), room.size(), 0};
      while (output.pos < output.size && left != 0) {
        const std::size_t before = output.pos + input.pos;
        left = ZSTD_decompressStream(context.get(), &output, &input);
        if (ZSTD_getErrorCode(left) == ZSTD_error_memory_allocation) does_not_fit();
        if (ZSTD_isError(left)) damaged("zstd", ZSTD_getErrorName(left));
        if (left != 0 && output.pos + input.pos == before) cut_short("zstd");
      }
      sink.hand_on(output.pos, static_cast<std::uint64_t>(frame.data() - start) + input.pos);
    }
  };
  return SideBySide::start(std::move(file), frames.size(), threads, decode);
}
