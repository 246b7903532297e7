// The decoders of each format, on one thread and on several: whatever way a file is decoded,
// the same bytes or the same refusal.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <chrono>
#include <thread>

#include "input/holding/reading_budget.h"
#include "table_files.h"

using namespace table_files;

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
      {Compression::zstd, compressed(Compression::zstd, text + wide, {text.size()}, 0, 24),
       text + wide},
      // Past the last BGZF member: a plain gzip member, or bytes of no stream.
      {Compression::gzip, bgzf + stored_gzip("1 2 3 4 5 6 7 8\n"), text + "1 2 3 4 5 6 7 8\n"},
      {Compression::gzip, bgzf + "x", "refused: it has data after its gzip stream"},
  };
  for (const auto& c : cases) {
    const int fd = ::memfd_create("table", 0);
    ASSERT_EQ(::write(fd, c.file.data(), c.file.size()), static_cast<ssize_t>(c.file.size()));
    for (const int threads : {1, 3}) {
      ::lseek(fd, 0, SEEK_SET);
      std::string got;
      try {
        ByteSource source(fd, c.format, {}, {threads, kNoMemoryLimit, UINT64_MAX});
        std::vector<char> buffer(1 << 20);
        for (std::size_t n; (n = source.read(buffer.data(), buffer.size())) > 0;)
          got.append(buffer.data(), n);
      } catch (const Failure& failure) {
        got = "refused: " + failure.reason;
      }
      EXPECT_TRUE(got == c.bytes) << threads << " threads: " << got.size() << " bytes "
                                  << got.substr(0, 60);
    }
    ::close(fd);
  }
  // Where the decoding's share cannot also pay for the list of parts, one decoder reads.
  EXPECT_EQ(
      ReadingBudget::plan(kRunOverhead + (std::size_t{256} << 20), 4).decoding.beside(kPartsCost),
      1);
}

TEST(InputFile, TellsACompressedTableWhoseMagicComesDownAPipeAByteAtATime) {
  const std::string text = "h\nh\nh\n1 2 3 4 5 6 7 8\n2 3 4 5 6 7 8 9\n", file = stored_gzip(text);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::thread writer([&] {
    for (std::size_t at = 0; at < file.size(); at += at < 4 ? 1 : file.size()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const std::string part = file.substr(at, at < 4 ? 1 : std::string::npos);
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
  EXPECT_TRUE(same(table_of(reading), canonical(reference_table(text))));
}
