// Compressed tables decoded side by side (zstd frames, bzip2 blocks, BGZF members, xz blocks):
// whatever way a file is decoded, the same bytes or the same refusal.
#include "input/bytes/side_by_side.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/failure.h"
#include "input/bytes/bzip2_blocks.h"
#include "input/bytes/gzip_members.h"
#include "input/bytes/zstd_frames.h"
#include "table_files.h"

using namespace histchart;

using namespace table_files;

namespace {

std::string decoded(int fd, Compression format, int threads) {
  ::lseek(fd, 0, SEEK_SET);
  return table_files::decoded(ByteSource(fd, format, {}, {threads, kNoMemoryLimit, UINT64_MAX}));
}

}  // namespace

TEST(SideBySide, PartsDecodedSideBySideReadAsOneDecoderDoes) {
  std::string text, wide = "h\nh\nh\n";
  for (int i = 0; text.size() < (std::size_t{3} << 20); ++i)
    text += std::to_string(i * 7919) + " 1.5\n";
  for (int i = 0; wide.size() < (std::size_t{9} << 20); ++i) wide += std::to_string(i) + " 2.5\n";
  const std::vector<std::size_t> cuts{1000, 2000000, 2000001, 2500000};
  const std::string zstd = compressed(Compression::zstd, text, cuts),
                    bzip2 = compressed(Compression::bzip2, text, {}),
                    bgzf = stored_gzip(text, 60000, true), row = "1 2 3 4 5 6 7 8\n";
  auto damage = [](std::string file) {
    file[file.size() - 3000] ^= 0x55;  // in the last frame or block: the others come first
    return file;
  };
  const struct {
    Compression format;
    std::string file;
    bool side_by_side;
    std::string bytes = "";  // where set, what it decodes to
  } cases[] = {
      {Compression::zstd, zstd, true, text},
      {Compression::zstd, compressed(Compression::zstd, text, {}), false, text},
      {Compression::zstd, compressed(Compression::zstd, text, {100}) + kSkippable, true, text},
      // pzstd's frames, each after a skippable one.
      {Compression::zstd, kSkippable + zstd + kSkippable, true, text},
      {Compression::zstd, damage(zstd), true},
      {Compression::zstd, zstd.substr(0, zstd.size() - 5), false},
      {Compression::zstd, zstd + "x", false},
      // A frame too wide for the threads: one decoder reads them all.
      {Compression::zstd, compressed(Compression::zstd, text + wide, {text.size()}, 0, 24), false,
       text + wide},
      {Compression::bzip2, compressed(Compression::bzip2, text, cuts), true, text},
      {Compression::bzip2, compressed(Compression::bzip2, text.substr(0, 50000), {}), false},
      {Compression::bzip2, damage(bzip2), true},
      {Compression::bzip2, bzip2.substr(0, bzip2.size() - 5), false},
      {Compression::bzip2, bzip2 + "x", false},
      {Compression::gzip, damage(bgzf), true},
      // Past the last BGZF member, one that gives no size or bytes of no stream.
      {Compression::gzip, bgzf.substr(0, bgzf.size() - 5), false},
      {Compression::gzip, bgzf + stored_gzip(row), false, text + row},
      {Compression::gzip, bgzf + "x", false, "refused: it has data after its gzip stream"},
      // Streams one after another, each with all of its blocks (liblzma's own threads).
      {Compression::xz, compressed(Compression::xz, text, {1000, 300000}), false, text},
      {Compression::xz, compressed(Compression::xz, text, {200000}, 65536), false, text},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const int fd = ::memfd_create("table", 0);
    ASSERT_EQ(::write(fd, c.file.data(), c.file.size()), static_cast<ssize_t>(c.file.size()));
    const std::string got = decoded(fd, c.format, 1);
    EXPECT_TRUE(decoded(fd, c.format, 3) == got) << got.substr(0, 60);
    EXPECT_TRUE(c.bytes.empty() || got == c.bytes) << got.size() << " bytes " << got.substr(0, 60);
    std::unique_ptr<SideBySide> decoding =
        c.format == Compression::zstd    ? zstd_frames(fd, c.file.size(), 3)
        : c.format == Compression::bzip2 ? bzip2_blocks(fd, c.file.size(), 3)
        : c.format == Compression::gzip  ? gzip_members(fd, c.file.size(), 3)
                                         : nullptr;
    EXPECT_EQ(decoding != nullptr, c.side_by_side);
    // ... and where nothing fails, the parts alone give it all.
    if (decoding && !got.starts_with("refused: ")) {
      std::string side_by_side(got.size() + 1, '\0');
      std::size_t read = 0;
      for (std::size_t n = 1; n > 0; read += n)
        n = decoding->read(side_by_side.data() + read, side_by_side.size() - read);
      EXPECT_TRUE(side_by_side.substr(0, read) == got);
    }
    decoding.reset();  // its threads read the file
    ::close(fd);
  }
}

// However small the parts and however slow the reader, the threads take a part only once the
// part a window of them before it has been read: what waits stays bounded.
TEST(SideBySide, TakesPartsNoFurtherAheadThanItsThreads) {
  std::atomic<std::size_t> read_parts{0}, furthest{0};
  auto decode = [&](std::size_t part, PartSink& sink) {
    const std::size_t ahead = part - read_parts.load();
    furthest = std::max(furthest.load(), ahead);
    const std::span<char> room = sink.room();
    room[0] = static_cast<char>(part);
    sink.hand_on(1, part);
  };
  std::unique_ptr<SideBySide> parts = SideBySide::start(200, 3, decode);
  ASSERT_TRUE(parts);
  char byte = 0;
  for (std::size_t k = 0; k < 200; ++k) {
    ASSERT_EQ(parts->read(&byte, 1), 1u);
    EXPECT_EQ(byte, static_cast<char>(k));
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    read_parts = k;  // every part before k is read whole
  }
  EXPECT_EQ(parts->read(&byte, 1), 0u);
  EXPECT_LE(furthest.load(), 3u + 1);
}
