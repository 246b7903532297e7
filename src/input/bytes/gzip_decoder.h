// The gzip decoder of ByteSource; byte_source.cpp alone includes it.
#pragma once

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input/bytes/byte_source.h"
#include "input/bytes/table_failure.h"
#include "input/bytes/table_format.h"

namespace histchart {

// gzip through ISA-L's inflater, several times faster than zlib's; it checks each member's
// CRC-32 and length itself. Each member's header is passed over here: the inflater reads one
// with optional fields (a name, BGZF's extra field) only where it comes whole in one call, and
// a read of a file or a pipe may end anywhere in it.
class GzipBytes {
 public:
  std::size_t read(RawInput& in, char* out, std::size_t size) {
    for (;;) {
      std::string_view got = in.fill(in_member_ ? 1 : 4);
      if (!in_member_) {
        if (got.empty()) return 0;
        if (!starts_with(got, "\x1f\x8b")) {
          skip_zero_padding(in);
          return 0;
        }
        pass_header(in);
        isal_inflate_init(&state_);
        state_.crc_flag = ISAL_GZIP_NO_HDR_VER;
        in_member_ = true;
        got = in.fill();
      }
      if (got.empty()) cut_short("gzip");
      state_.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(got.data()));
      state_.avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(got.size(), 1u << 30));
      state_.next_out = reinterpret_cast<std::uint8_t*>(out);
      state_.avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(size, 1u << 30));
      const std::uint32_t offered = state_.avail_in, room = state_.avail_out;
      const int result = isal_inflate(&state_);
      in.consume(offered - state_.avail_in);
      if (result != ISAL_DECOMP_OK) damaged("gzip", reason(result));
      if (state_.block_state == ISAL_BLOCK_FINISH) in_member_ = false;
      if (const std::size_t made = room - state_.avail_out; made > 0) return made;
    }
  }

 private:
  // Passes over the header `in` starts with, in as many reads as it comes in, checking what
  // gzip checks: the method, the reserved flags, and the header's CRC where it has one.
  static void pass_header(RawInput& in) {
    std::uint32_t crc = 0;
    auto pass = [&](std::string_view bytes) {
      crc =
          crc32_gzip_refl(crc, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
      in.consume(bytes.size());
    };
    // At least `n` bytes (n <= 10), all that are buffered.
    auto take = [&](std::size_t n) {
      const std::string_view got = in.fill(n);
      if (got.size() < n) cut_short("gzip");
      return got;
    };
    auto byte = [](std::string_view bytes, std::size_t at) {
      return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]));
    };
    const std::string_view fixed = take(10);
    const unsigned flags = byte(fixed, 3);
    if (byte(fixed, 2) != 8) damaged("gzip", "unknown compression method");
    // Reserved flag bits mean a header of a kind gzip does not know either.
    if ((flags & 0xe0) != 0) damaged("gzip", "invalid gzip header");
    pass(fixed.substr(0, 10));
    std::size_t extra = 0;
    if ((flags & 0x04) != 0) {
      const std::string_view length = take(2);
      extra = byte(length, 0) | byte(length, 1) << 8;
      pass(length.substr(0, 2));
    }
    while (extra > 0) {
      const std::string_view got = take(1).substr(0, extra);
      extra -= got.size();
      pass(got);
    }
    // The file name, then the comment, each ended by a zero byte.
    for (const unsigned field : {0x08u, 0x10u}) {
      for (bool ended = (flags & field) == 0; !ended;) {
        const std::string_view got = take(1);
        const std::size_t zero = got.find('\0');
        ended = zero != std::string_view::npos;
        pass(got.substr(0, ended ? zero + 1 : got.size()));
      }
    }
    if ((flags & 0x02) != 0) {
      const std::string_view check = take(2);
      if ((byte(check, 0) | byte(check, 1) << 8) != (crc & 0xffff)) {
        damaged("gzip", "its header checksum does not match");
      }
      in.consume(2);
    }
  }

  // Zero bytes to the end after the last member, as a tape or dd pads a file, are no data:
  // gzip and zcat pass over them too.
  static void skip_zero_padding(RawInput& in) {
    for (std::string_view got = in.fill(); !got.empty(); got = in.fill()) {
      if (got.find_first_not_of('\0') != std::string_view::npos) trailing_data("gzip");
      in.consume(got.size());
    }
  }

  static const char* reason(int result) {
    switch (result) {
      case ISAL_INCORRECT_CHECKSUM:
        return "its checksum does not match";
      case ISAL_INVALID_WRAPPER:
        return "invalid gzip header";
      case ISAL_UNSUPPORTED_METHOD:
        return "unknown compression method";
      case ISAL_INVALID_LOOKBACK:
        return "invalid distance";
      default:
        return "invalid deflate data";
    }
  }

  inflate_state state_{};
  bool in_member_ = false;
};

}  // namespace histchart
