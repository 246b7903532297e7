// The decompressors over arbitrary bytes (seeded with small compressed tables of each format,
// zstd and lz4 frames with skippable frames among them): a damaged or cut-short stream ends in
// a failure, never a crash, a hang or bytes made up; decoded side by side, the same bytes or
// the same failure.
// gzip is held to zlib: whatever ISA-L's inflater accepts, zlib accepts with the same bytes.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "base/failure.h"
#include "base/run_limits.h"
#include "fuzz_checks.h"
#include "input/bytes/byte_source.h"

using namespace histchart;

namespace {

constexpr std::size_t kMost = std::size_t{16} << 20;  // decompressed bytes looked at

// Concatenated gzip members, as zlib reads them, and zero padding after the last, as gzip
// accepts it; nothing for a damaged stream.
std::optional<std::string> zlib_gunzip(const std::string& in) {
  std::string out;
  std::size_t at = 0;
  do {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + at));
    z.avail_in = static_cast<uInt>(in.size() - at);
    int result = Z_OK;
    while (result == Z_OK && out.size() < kMost) {
      char buffer[1 << 16];
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      result = inflate(&z, Z_NO_FLUSH);
      out.append(buffer, sizeof buffer - z.avail_out);
      if (result == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    at = in.size() - z.avail_in;
    inflateEnd(&z);
    if (result != Z_STREAM_END) return out.size() >= kMost ? std::optional(out) : std::nullopt;
  } while (at < in.size() && out.size() < kMost &&
           in.find_first_not_of('\0', at) != std::string::npos);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  const Compression format = sniff_compression(in);
  if (format == Compression::none) return 0;
  const int fd = ::memfd_create("compressed", 0);
  FUZZ_CHECK(::write(fd, in.data(), in.size()) == static_cast<ssize_t>(in.size()));
  // One decoder in order, then the independent parts side by side (zstd frames, bzip2
  // blocks, BGZF members, xz blocks): the same bytes, or a failure for both.
  auto decode = [&](int threads) -> std::optional<std::string> {
    FUZZ_CHECK(::lseek(fd, 0, SEEK_SET) == 0);
    std::string out;
    try {
      ByteSource source(fd, format, {}, {threads, kNoMemoryLimit});
      char buffer[1 << 16];
      for (std::size_t got; out.size() < kMost && (got = source.read(buffer, sizeof buffer)) > 0;) {
        out.append(buffer, got);
      }
    } catch (const Failure& failure) {
      FUZZ_CHECK(!failure.reason.empty());
      return std::nullopt;
    }
    return out;
  };
  const std::optional<std::string> out = decode(1);
  const std::optional<std::string> side_by_side = decode(3);
  FUZZ_CHECK(out.has_value() == side_by_side.has_value());
  FUZZ_CHECK(!out || out->size() >= kMost || *out == *side_by_side);
  ::close(fd);
  if (format == Compression::gzip && out && out->size() < kMost) {
    const auto reference = zlib_gunzip(in);
    FUZZ_CHECK(reference && *reference == *out);
  }
  return 0;
}
