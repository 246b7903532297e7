// The xz and .lzma decoder of ByteSource; byte_source.cpp alone includes it.
#pragma once

#include <lzma.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/bytes/byte_source.h"
#include "input/bytes/table_failure.h"
#include "input/bytes/table_format.h"

namespace histchart {

class XzBytes {
 public:
  // On several threads, liblzma decodes the blocks of a multi-block stream (xz -T writes them)
  // in parallel, and a single-block one as before. `legacy`: the one stream of the .lzma format
  // (xz --format=lzma), which has no blocks, and whose header may ask for a dictionary of up
  // to 4 GiB: one larger than `window` is refused before liblzma allocates it.
  XzBytes(int threads, bool legacy, std::uint64_t window)
      : legacy_(legacy), window_(window), format_(legacy ? "lzma" : "xz") {
    lzma_ret started = LZMA_OK;
    if (legacy) {
      started = lzma_alone_decoder(&stream_, UINT64_MAX);
    } else if (threads > 1) {
      lzma_mt options{};
      options.flags = LZMA_CONCATENATED;
      options.threads = static_cast<std::uint32_t>(threads);
      // Beyond the blocks its threads' buffers may hold, it decodes on fewer threads.
      options.memlimit_threading =
          static_cast<std::uint64_t>(threads) * (kDecoderCost - (8u << 20));
      options.memlimit_stop = UINT64_MAX;
      started = lzma_stream_decoder_mt(&stream_, &options);
    } else {
      started = lzma_stream_decoder(&stream_, UINT64_MAX, LZMA_CONCATENATED);
    }
    if (started != LZMA_OK) decoder_does_not_fit(format_);
  }
  ~XzBytes() { lzma_end(&stream_); }
  XzBytes(const XzBytes&) = delete;
  XzBytes& operator=(const XzBytes&) = delete;

  std::size_t read(RawInput& in, char* out, std::size_t size) {
    if (done_) return 0;
    if (!dictionary_checked_) {
      if (const std::string_view head = in.fill(13); head.size() >= 5) {
        const std::uint64_t dictionary = decoder_window(Compression::lzma, head);
        if (dictionary > window_) window_too_large("lzma dictionary", dictionary);
      }
      dictionary_checked_ = true;
    }
    for (;;) {
      const std::string_view got = in.fill();
      stream_.next_in = reinterpret_cast<const std::uint8_t*>(got.data());
      stream_.avail_in = got.size();
      stream_.next_out = reinterpret_cast<std::uint8_t*>(out);
      stream_.avail_out = size;
      const lzma_ret result = lzma_code(&stream_, got.empty() ? LZMA_FINISH : LZMA_RUN);
      in.consume(got.size() - stream_.avail_in);
      const std::size_t made = size - stream_.avail_out;
      if (result == LZMA_STREAM_END) {
        // A .lzma stream is not followed by another: what comes after it would be lost.
        if (legacy_ && !in.fill().empty()) trailing_data(format_);
        done_ = true;
        return made;
      }
      if (result == LZMA_BUF_ERROR && got.empty()) cut_short(format_);
      if (result == LZMA_MEM_ERROR) decoder_does_not_fit(format_);
      if (result != LZMA_OK) damaged(format_, reason(result, legacy_));
      if (made > 0) return made;
    }
  }

 private:
  static const char* reason(lzma_ret result, bool legacy) {
    switch (result) {
      case LZMA_MEM_ERROR:
        return "out of memory";
      case LZMA_FORMAT_ERROR:
        return legacy ? "not in the .lzma format" : "not in the .xz format";
      case LZMA_OPTIONS_ERROR:
        return "unsupported options";
      case LZMA_DATA_ERROR:
        return "compressed data is corrupt";
      default:
        return "unexpected error";
    }
  }

  bool legacy_;
  std::uint64_t window_;
  bool dictionary_checked_ = !legacy_;
  const char* format_;
  lzma_stream stream_ = LZMA_STREAM_INIT;
  bool done_ = false;
};

}  // namespace histchart
