// The lz4 decoder of ByteSource; byte_source.cpp alone includes it.
#pragma once

#include <lz4frame.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/bytes/byte_source.h"
#include "input/bytes/table_failure.h"
#include "input/bytes/table_format.h"

namespace histchart {

// lz4 frames through liblz4, which checks each frame's checksums where it has them. Frames
// follow one another, skippable ones among them; anything else after a frame is refused.
class Lz4Bytes {
 public:
  Lz4Bytes() {
    if (LZ4F_isError(LZ4F_createDecompressionContext(&context_, LZ4F_VERSION)))
      decoder_does_not_fit("lz4");
  }
  ~Lz4Bytes() { LZ4F_freeDecompressionContext(context_); }
  Lz4Bytes(const Lz4Bytes&) = delete;
  Lz4Bytes& operator=(const Lz4Bytes&) = delete;

  std::size_t read(RawInput& in, char* out, std::size_t size) {
    for (;;) {
      const std::string_view got = in.fill(in_frame_ ? 1 : 4);
      if (!in_frame_) {
        if (got.empty()) return 0;
        if (!starts_with(got, kLz4Magic) && !skippable(got)) trailing_data("lz4");
        in_frame_ = true;
      }
      if (got.empty()) cut_short("lz4");
      std::size_t consumed = got.size(), made = size;
      const std::size_t next =
          LZ4F_decompress(context_, out, &made, got.data(), &consumed, nullptr);
      in.consume(consumed);
      if (LZ4F_isError(next)) {
        const std::string_view reason = LZ4F_getErrorName(next);
        if (reason == "ERROR_allocation_failed") decoder_does_not_fit("lz4");
        damaged("lz4", reason);
      }
      in_frame_ = next != 0;
      if (made > 0) return made;
    }
  }

 private:
  LZ4F_dctx* context_ = nullptr;
  bool in_frame_ = false;
};

}  // namespace histchart
