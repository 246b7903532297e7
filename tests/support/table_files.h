// What the reader's tests share: tables written to files and compressed in every format and
// layout the reader takes apart, and readings in the reference's shape.
#pragma once

#include <bzlib.h>
#include <gtest/gtest.h>
#include <isa-l/crc.h>
#include <lzma.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// `text` cut at `cuts`, each part compressed alone, one after the other: zstd frames with
// their checksums (windows of 2^`zstd_window` bytes where set), bzip2 streams in blocks of
// 100 kB, xz streams of one block or, with `xz_block` set, of blocks of that size (as xz -T
// writes them).
inline std::string compressed(Compression format, const std::string& text,
                              const std::vector<std::size_t>& cuts = {}, std::uint64_t xz_block = 0,
                              int zstd_window = 0) {
  std::string file;
  std::size_t from = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t to = i < cuts.size() ? cuts[i] : text.size();
    const char* const in = text.data() + from;
    const std::size_t size = to - from;
    std::string part(ZSTD_compressBound(size) + size / 50 + 1000, '\0');
    if (format == Compression::zstd) {
      ZSTD_CCtx* context = ZSTD_createCCtx();
      ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
      ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 1);
      if (zstd_window > 0) ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, zstd_window);
      part.resize(ZSTD_compress2(context, part.data(), part.size(), in, size));
      ZSTD_freeCCtx(context);
    } else if (format == Compression::bzip2) {
      auto out = static_cast<unsigned>(part.size());
      BZ2_bzBuffToBuffCompress(part.data(), &out, const_cast<char*>(in),
                               static_cast<unsigned>(size), 1, 0, 0);
      part.resize(out);
    } else if (format == Compression::xz) {
      lzma_stream stream = LZMA_STREAM_INIT;
      lzma_mt options{};
      options.threads = 1;
      options.block_size = xz_block;
      options.preset = 0;
      options.check = LZMA_CHECK_CRC64;
      if (xz_block > 0 ? lzma_stream_encoder_mt(&stream, &options) != LZMA_OK
                       : lzma_easy_encoder(&stream, 0, LZMA_CHECK_CRC64) != LZMA_OK) {
        return "";
      }
      stream.next_in = reinterpret_cast<const std::uint8_t*>(in);
      stream.avail_in = size;
      stream.next_out = reinterpret_cast<std::uint8_t*>(part.data());
      stream.avail_out = part.size();
      while (lzma_code(&stream, LZMA_FINISH) == LZMA_OK) {
      }
      part.resize(part.size() - stream.avail_out);
      lzma_end(&stream);
    }
    file += part;
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
