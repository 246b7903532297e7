#include "input/bytes/byte_source.h"

#include <bzlib.h>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <lz4frame.h>
#include <lzma.h>
#define ZSTD_STATIC_LINKING_ONLY  // the frame header, read before libzstd takes its window
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include <sys/stat.h>

#include "base/files.h"
#include "input/bytes/bzip2_blocks.h"
#include "input/bytes/gzip_members.h"
#include "input/bytes/table_failure.h"
#include "input/bytes/zstd_frames.h"

namespace histchart {

namespace {

bool starts_with(std::string_view bytes, std::string_view magic) {
  return bytes.substr(0, magic.size()) == magic;
}

constexpr std::string_view kZstdMagic = "\x28\xb5\x2f\xfd", kLz4Magic = "\x04\x22\x4d\x18";

std::uint32_t little_endian(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// zstd and lz4 share these: 0x184D2A50 to 0x184D2A5F, then the size of what is skipped.
bool skippable(std::string_view bytes) {
  return bytes.size() >= 4 && (little_endian(bytes, 0) & 0xfffffff0) == ZSTD_MAGIC_SKIPPABLE_START;
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

// As the formats' own tools name them, in the order of Compression.
const char* name_of(Compression format) {
  constexpr const char* kNames[] = {"plain", "gzip", "zstd", "xz", "bzip2", "lz4", "lzma"};
  return kNames[static_cast<int>(format)];
}

// A stream that ended with bytes after it that start no further stream of its format. The
// formats' own tools warn and go on; a table that is not what it seems is refused here.
[[noreturn]] void trailing_data(const char* format) {
  cannot_read(std::string("it has data after its ") + format + " stream");
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

RawInput::RawInput(int fd, std::string head)
    : fd_(fd), buffer_(std::max(kBuffer, head.size())), end_(head.size()) {
  std::copy(head.begin(), head.end(), buffer_.begin());
  bytes_read_ = head.size();
}

std::string_view RawInput::fill(std::size_t want) {
  if (end_ - start_ < want) {
    // What is left moves to the front, and what is read joins it there.
    std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(start_),
              buffer_.begin() + static_cast<std::ptrdiff_t>(end_), buffer_.begin());
    end_ -= start_;
    start_ = 0;
    while (end_ < want) {
      char* to = buffer_.data() + end_;
      const std::size_t room = buffer_.size() - end_;
      const IoResult got =
          wake_ >= 0 ? read_once_or_wake(fd_, to, room, wake_) : read_once(fd_, to, room);
      if (got.error != 0) cannot_read(std::strerror(got.error));
      if (got.bytes == 0) {
        if (bytes_read_ < size_) throw Failure::table_changed();
        break;
      }
      end_ += got.bytes;
      bytes_read_ += got.bytes;
    }
  }
  return {buffer_.data() + start_, end_ - start_};
}

class PlainBytes {
 public:
  std::size_t read(RawInput& in, char* out, std::size_t size) {
    const std::string_view got = in.fill();
    const std::size_t n = std::min(size, got.size());
    std::memcpy(out, got.data(), n);
    in.consume(n);
    return n;
  }
};

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

ByteSource::ByteSource(int fd, Compression format, std::string head, DecodingThreads decoding) try
    : input_(fd, std::move(head)), format_(format) {
  // A regular file of independent parts is decoded on several threads, from its start; the list
  // of its parts comes out of what the decoding may take. Where that list cannot be made (not
  // even its memory had), one decoder reads it.
  struct stat info {};
  const bool regular_from_start =
      input_.bytes_read() == 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const int threads = regular_from_start ? decoding.beside(kPartsCost) : 1;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (regular_from_start) input_.expect_size(size);
  auto side_by_side = [&](auto parts) {
    if (threads < 2) return;
    try {
      side_by_side_ = parts(fd, size, threads);
    } catch (...) {
      side_by_side_.reset();
    }
  };
  switch (format) {
    case Compression::none:
      decoder_ = std::make_unique<PlainBytes>();
      break;
    case Compression::gzip:
      side_by_side(gzip_members);
      decoder_ = std::make_unique<GzipBytes>();
      break;
    case Compression::zstd:
      side_by_side(zstd_frames);
      decoder_ = std::make_unique<ZstdBytes>(decoding.window);
      break;
    case Compression::lz4:
      decoder_ = std::make_unique<Lz4Bytes>();
      break;
    case Compression::xz:
    case Compression::lzma:
      decoder_ = std::make_unique<XzBytes>(decoding.beside(0), format == Compression::lzma,
                                           decoding.window);
      break;
    case Compression::bzip2:
      side_by_side(bzip2_blocks);
      decoder_ = std::make_unique<Bzip2Bytes>();
      break;
  }
} catch (const std::bad_alloc&) {
  // The read buffer, or the decoder's state.
  if (format != Compression::none) decoder_does_not_fit(name_of(format));
}

ByteSource::ByteSource(ByteSource&&) noexcept = default;
ByteSource& ByteSource::operator=(ByteSource&&) noexcept = default;
ByteSource::~ByteSource() = default;

void ByteSource::buffers_do_not_fit() const {
  if (format_ == Compression::none) does_not_fit();
  decoder_does_not_fit(name_of(format_));
}

std::uint64_t ByteSource::file_bytes_read() const {
  return side_by_side_ ? side_by_side_->file_bytes_read() : input_.bytes_read();
}

std::size_t ByteSource::read(char* out, std::size_t size) {
  if (side_by_side_) {
    try {
      const std::size_t got = side_by_side_->read(out, size);
      handed_on_ += got;
      return got;
    } catch (...) {
      // One decoder in order says what is wrong (a part may also have been told apart
      // wrongly, or the threads' memory have run out): it reads the file again from its
      // start, past what was handed on.
      side_by_side_.reset();
      for (std::uint64_t skip = handed_on_; skip > 0;) {
        const std::size_t got =
            read(out, static_cast<std::size_t>(std::min<std::uint64_t>(size, skip)));
        if (got == 0) break;
        skip -= got;
      }
    }
  }
  return std::visit([&](auto& decoder) { return decoder->read(input_, out, size); }, decoder_);
}

int DecodingThreads::beside(std::uint64_t other) const {
  if (other >= memory) return 1;
  const auto threads = std::min<std::uint64_t>((memory - other) / kDecoderCost,
                                               static_cast<std::uint64_t>(std::max(most, 1)));
  return threads >= 2 ? static_cast<int>(threads) : 1;
}

}  // namespace histchart
