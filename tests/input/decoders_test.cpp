// The decoders of each format, on one thread and on several: whatever way a file is decoded,
// the same bytes or the same refusal.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <chrono>
#include <thread>

#include "input/reading_budget.h"
#include "table_files.h"

namespace {

using namespace table_files;

// The bytes `file` decodes to with `threads` decoders, or the reason it is refused.
std::string decoded(Compression format, const std::string& file, int threads) {
  const int fd = ::memfd_create("table", 0);
  EXPECT_EQ(::write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
  ::lseek(fd, 0, SEEK_SET);
  std::string text;
  try {
    ByteSource source(fd, format, {}, {threads, kNoMemoryLimit});
    std::vector<char> buffer(1 << 20);
    for (std::size_t got; (got = source.read(buffer.data(), buffer.size())) > 0;)
      text.append(buffer.data(), got);
  } catch (const Failure& failure) {
    text = "refused: " + failure.reason;
  }
  ::close(fd);
  return text;
}

// A zstd frame whose window is all of its content, larger than a decoder beside others takes.
std::string zstd_wide_window(const std::string& text) {
  std::string frame(ZSTD_compressBound(text.size()), '\0');
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 1);
  ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, 24);
  frame.resize(ZSTD_compress2(context, frame.data(), frame.size(), text.data(), text.size()));
  ZSTD_freeCCtx(context);
  return frame;
}

}  // namespace

TEST(Decoders, GiveTheSameBytesOrRefusalOnOneThreadAsOnSeveral) {
  std::string text, wide = "h\nh\nh\n";
  for (int i = 0; text.size() < 400000; ++i) text += std::to_string(i * 7919) + " 1.5\n";
  for (int i = 0; wide.size() < (std::size_t{9} << 20); ++i) wide += std::to_string(i) + " 2.5\n";
  const std::string bgzf = stored_gzip(text, 60000, true);
  const struct {
    Compression format;
    std::string file, bytes;
  } cases[] = {
      // Streams one after another, each with all of its blocks.
      {Compression::xz, compressed(Compression::xz, text, {1000, 300000}), text},
      {Compression::xz, compressed(Compression::xz, text, {200000}, 65536), text},
      // A later frame fails beside the others: one decoder reads it, past what was handed on.
      {Compression::zstd, compressed(Compression::zstd, text) + zstd_wide_window(wide),
       text + wide},
      // Past the last BGZF member: a plain gzip member, or bytes of no stream.
      {Compression::gzip, bgzf + stored_gzip("1 2 3 4 5 6 7 8\n"), text + "1 2 3 4 5 6 7 8\n"},
      {Compression::gzip, bgzf + "x", "refused: it has data after its gzip stream"},
  };
  for (const auto& c : cases) {
    for (const int threads : {1, 3}) {
      const std::string got = decoded(c.format, c.file, threads);
      EXPECT_TRUE(got == c.bytes) << threads << " threads: " << got.size() << " bytes "
                                  << got.substr(0, 60);
    }
  }
  // Where the decoding's share cannot also pay for the list of parts, one decoder reads.
  EXPECT_EQ(
      ReadingBudget::plan(kRunOverhead + (std::size_t{256} << 20), 4).decoding.beside(kPartsCost),
      1);
}

TEST(InputFile, TellsACompressedTableWhoseMagicComesDownAPipeAByteAtATime) {
  const std::string text = "h\nh\nh\n1 2 3 4 5 6 7 8\n2 3 4 5 6 7 8 9\n";
  for (const Compression format :
       {Compression::gzip, Compression::zstd, Compression::xz, Compression::bzip2}) {
    const std::string file =
        format == Compression::gzip ? stored_gzip(text) : compressed(format, text);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::thread writer([&] {
      for (std::size_t at = 0; at < file.size(); at += at < 12 ? 1 : file.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        const std::string part = file.substr(at, at < 12 ? 1 : std::string::npos);
        EXPECT_EQ(::write(ends[1], part.data(), part.size()), static_cast<ssize_t>(part.size()));
      }
      ::close(ends[1]);
    });
    TableReading reading;
    const MaybeFailure failure =
        InputFile("/proc/self/fd/" + std::to_string(ends[0])).read({}, reading);
    writer.join();
    ::close(ends[0]);
    EXPECT_FALSE(failure) << failure->line();
    EXPECT_TRUE(same(table_of(reading), canonical(reference_table(text)))) << file.substr(0, 4);
  }
}
