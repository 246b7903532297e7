// What the reader's tests share: tables written to files and compressed in every format and
// layout the reader takes apart, and readings in the reference's shape.
#pragma once

#include <gtest/gtest.h>
#include <isa-l/crc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/failure.h"
#include "input/bytes/byte_source.h"
#include "input/holding/reading_budget.h"
#include "input/input_file.h"
#include "reference.h"

namespace histchart {

namespace table_files {

using namespace std::string_literals;

// A file of this test run's own, in the temporary directory.
inline std::string write_file(const std::string& name, const std::string& content) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("histchart-test-" + std::to_string(::getpid()) + "-" + name);
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

// A skippable frame, which zstd and lz4 files may hold anywhere (pzstd's start each frame with
// one).
inline const std::string kSkippable = "\x50\x2a\x4d\x18\4\0\0\0abcd"s;

// `text` cut at `cuts`, each part compressed alone by the format's own tool, one after the
// other: zstd frames with their checksums (windows of 2^`zstd_window` bytes where set), bzip2
// streams in blocks of 100 kB, xz streams of one block or, with `xz_block` set, of blocks of that
// size (as xz -T writes them).
inline std::string compressed(Compression format, const std::string& text,
                              std::vector<std::size_t> cuts = {}, std::uint64_t xz_block = 0,
                              int zstd_window = 0) {
  const std::string command =
      format == Compression::zstd
          ? "zstd -q -1 -c" + (zstd_window ? " --zstd=wlog=" + std::to_string(zstd_window) : "")
      : format == Compression::bzip2
          ? "bzip2 -1 -c"
          : "xz -0 -c" + (xz_block ? " -T2 --block-size=" + std::to_string(xz_block) : "");
  std::string file;
  std::size_t from = 0;
  cuts.push_back(text.size());
  for (const std::size_t to : cuts) {
    const std::string part = write_file("part", text.substr(from, to - from));
    FILE* const out = ::popen((command + " '" + part + "'").c_str(), "r");
    char buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
      file.append(buffer, n);
    EXPECT_EQ(::pclose(out), 0) << command;
    std::filesystem::remove(part);
    from = to;
  }
  return file;
}

// `text` as gzip members of at most `member` bytes, in stored (uncompressed) deflate blocks:
// with `bgzf`, each gives its size in a "BC" extra field and an empty member ends the file, as
// bgzip writes it; with `named`, each header also has a file name, a comment and its CRC. A
// table and a changed copy of the same length make files of the same size.
inline std::string stored_gzip(const std::string& text, std::size_t member = 65535,
                               bool bgzf = false, bool named = false) {
  std::string file;
  auto le = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file += static_cast<char>(value >> (8 * i) & 0xff);
  };
  for (std::size_t from = 0;; from += member) {
    const std::string part = text.substr(std::min(from, text.size()), member);
    if (part.empty() && !bgzf && from > 0) return file;
    const std::size_t start = file.size();
    file += "\x1f\x8b\x08"s + static_cast<char>((bgzf ? 4 : 0) | (named ? 0x1a : 0)) +
            "\0\0\0\0\0\xff"s;
    if (bgzf) {
      file += "\x06\0BC\x02\0"s;
      le(static_cast<std::uint32_t>((named ? 28 : 18) + 5 + part.size() + 8 - 1), 2);
    }
    if (named) {
      file += "t.txt\0c\0"s;
      le(crc32_gzip_refl(0, reinterpret_cast<unsigned char*>(&file[start]), file.size() - start),
         2);
    }
    file += '\x01';  // the last deflate block, stored
    le(static_cast<std::uint32_t>(part.size()), 2);
    le(static_cast<std::uint32_t>(~part.size()), 2);
    file += part;
    le(crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(part.data()), part.size()), 4);
    le(static_cast<std::uint32_t>(part.size()), 4);
    if (part.empty()) return file;
  }
}

// What `source` decodes to, or "refused: REASON" (what comes before a refusal depends on the
// reads' sizes).
inline std::string decoded(ByteSource source) {
  std::string got;
  try {
    std::vector<char> buffer(1 << 16);
    for (std::size_t n; (n = source.read(buffer.data(), buffer.size())) > 0;)
      got.append(buffer.data(), n);
  } catch (const Failure& failure) {
    return "refused: " + failure.reason;
  }
  return got;
}

// A pipe its own thread writes `writes` into, each in a write of its own after a pause, so that
// each comes in a read of its own.
class SlowPipe {
 public:
  explicit SlowPipe(std::vector<std::string> writes) {
    EXPECT_EQ(::pipe(ends_), 0);
    writer_ = std::thread([this, writes = std::move(writes)] {
      for (const std::string& write : writes) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(::write(ends_[1], write.data(), write.size()), ssize_t(write.size()));
      }
      ::close(ends_[1]);
    });
  }
  ~SlowPipe() {
    writer_.join();
    ::close(ends_[0]);
  }
  int fd() const { return ends_[0]; }

 private:
  int ends_[2];
  std::thread writer_;
};

// Every record of a reading and its reports, as take_records gives them, canonical; failing
// the test where the records cannot be handed over.
inline ReferenceTable table_of(TableReading& reading, int threads = 1,
                               const RowBatches& also = nullptr) {
  ReferenceTable table;
  const MaybeFailure failure = take_records(reading, table, threads, also);
  EXPECT_FALSE(failure) << failure->line();
  return canonical(std::move(table));
}

// The table as the program reads it from a file, on `cpus` threads: the values and reports,
// where the ranges measured are those of the values.
inline ReferenceTable read(const std::string& text, int cpus = 1) {
  const std::string path = write_file("table.txt", text);
  ReadOptions options;
  options.cpus = cpus;
  options.memory_limit = kRunOverhead + (std::size_t{64} << 20);
  TableReading reading;
  const MaybeFailure failure = InputFile(path).read(options, reading);
  EXPECT_FALSE(failure) << failure->line();
  std::filesystem::remove(path);
  ReferenceTable table = table_of(reading);
  for (int i = 0; i < kSeriesCount; ++i) {
    if (!same_range(reading.ranges[i], range_of(table.columns[i])))
      ADD_FAILURE() << "the range of series " << i;
  }
  return table;
}

// The example table over and over: its header lines become rows of a kind of their own.
inline std::string example_table(int copies) {
  std::ifstream in(HISTCHART_EXAMPLE, std::ios::binary);
  const std::string example((std::istreambuf_iterator<char>(in)), {});
  std::string text;
  for (int i = 0; i < copies; ++i) text += example;
  return text;
}

}  // namespace table_files

}  // namespace histchart
