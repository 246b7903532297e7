// The bzip2 decoder of ByteSource; byte_source.cpp alone includes it.
#pragma once

#include <bzlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/bytes/byte_source.h"
#include "input/bytes/table_failure.h"
#include "input/bytes/table_format.h"

namespace histchart {

class Bzip2Bytes {
 public:
  Bzip2Bytes() { start(); }
  ~Bzip2Bytes() { BZ2_bzDecompressEnd(&stream_); }
  Bzip2Bytes(const Bzip2Bytes&) = delete;
  Bzip2Bytes& operator=(const Bzip2Bytes&) = delete;

  std::size_t read(RawInput& in, char* out, std::size_t size) {
    for (;;) {
      std::string_view got = in.fill(in_stream_ ? 1 : 3);
      if (!in_stream_) {
        if (got.empty()) return 0;
        if (!starts_with(got, "BZh")) trailing_data("bzip2");
        BZ2_bzDecompressEnd(&stream_);
        start();
      }
      if (got.empty()) cut_short("bzip2");
      stream_.next_in = const_cast<char*>(got.data());
      stream_.avail_in = static_cast<unsigned>(std::min<std::size_t>(got.size(), 1u << 30));
      stream_.next_out = out;
      stream_.avail_out = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
      const unsigned offered = stream_.avail_in, room = stream_.avail_out;
      const int result = BZ2_bzDecompress(&stream_);
      in.consume(offered - stream_.avail_in);
      if (result == BZ_STREAM_END) {
        in_stream_ = false;
      } else if (result == BZ_MEM_ERROR) {
        decoder_does_not_fit("bzip2");
      } else if (result != BZ_OK) {
        damaged("bzip2", "data integrity error");
      }
      if (const std::size_t made = room - stream_.avail_out; made > 0) return made;
    }
  }

 private:
  void start() {
    stream_ = bz_stream{};
    if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) decoder_does_not_fit("bzip2");
    in_stream_ = true;
  }

  bz_stream stream_{};
  bool in_stream_ = false;
};

}  // namespace histchart
