// The zstd decoder of ByteSource; byte_source.cpp alone includes it.
#pragma once

#define ZSTD_STATIC_LINKING_ONLY  // the frame header, read before libzstd takes its window
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/bytes/byte_source.h"
#include "input/bytes/table_failure.h"
#include "input/bytes/table_format.h"

namespace histchart {

class ZstdBytes {
 public:
  // Frames whose window is larger than `window` are refused before libzstd allocates it; up to
  // there, whatever libzstd's own default limit.
  explicit ZstdBytes(std::uint64_t window) : stream_(ZSTD_createDStream()), window_(window) {
    if (!stream_) decoder_does_not_fit("zstd");
    ZSTD_DCtx_setParameter(stream_, ZSTD_d_windowLogMax, ZSTD_WINDOWLOG_MAX);
  }
  ~ZstdBytes() { ZSTD_freeDStream(stream_); }
  ZstdBytes(const ZstdBytes&) = delete;
  ZstdBytes& operator=(const ZstdBytes&) = delete;

  std::size_t read(RawInput& in, char* out, std::size_t size) {
    for (;;) {
      const std::string_view got = in.fill(in_frame_ ? 1 : ZSTD_FRAMEHEADERSIZE_MAX);
      if (got.empty()) {
        if (in_frame_) cut_short("zstd");
        return 0;
      }
      if (!in_frame_) check_window(got);
      ZSTD_inBuffer input{got.data(), got.size(), 0};
      ZSTD_outBuffer output{out, size, 0};
      const std::size_t result = ZSTD_decompressStream(stream_, &output, &input);
      in.consume(input.pos);
      if (ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation) decoder_does_not_fit("zstd");
      if (ZSTD_isError(result)) damaged("zstd", ZSTD_getErrorName(result));
      in_frame_ = result != 0;
      if (output.pos > 0) return output.pos;
    }
  }

 private:
  // A header that does not parse is left to libzstd, which says what is wrong with it.
  void check_window(std::string_view frame) const {
    ZSTD_frameHeader header{};
    if (ZSTD_getFrameHeader(&header, frame.data(), frame.size()) == 0 &&
        header.frameType == ZSTD_frame && header.windowSize > window_) {
      window_too_large("zstd window", header.windowSize);
    }
  }

  ZSTD_DStream* stream_;
  std::uint64_t window_;
  bool in_frame_ = false;
};

}  // namespace histchart
