// What the reader's tests share: tables written to files and compressed in every format and
// layout the reader takes apart, and the comparison of a reading with the plain reference one.
#pragma once

#include <bzlib.h>
#include <isa-l/crc.h>
#include <lzma.h>
#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/value_range.h"
#include "input/bytes/byte_source.h"
#include "input/reading_cuts.h"
#include "input/records/table_scanner.h"
#include "reference.h"

namespace table_files {

using namespace std::string_literals;

// A file of this test run's own, in the temporary directory.
inline std::string write_file(const std::string& name, const std::string& content) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("histchart-test-" + std::to_string(::getpid()) + "-" + name);
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

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
// bgzip writes it. A table and a changed copy of the same length make files of the same size.
inline std::string stored_gzip(const std::string& text, std::size_t member = 65535,
                               bool bgzf = false) {
  std::string file;
  auto le = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file += static_cast<char>(value >> (8 * i) & 0xff);
  };
  for (std::size_t from = 0;; from += member) {
    const std::string part = text.substr(std::min(from, text.size()), member);
    if (part.empty() && !bgzf && from > 0) return file;
    if (bgzf) {
      file += "\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0"s;
      le(static_cast<std::uint32_t>(18 + 5 + part.size() + 8 - 1), 2);
    } else {
      file += "\x1f\x8b\x08\0\0\0\0\0\0\xff"s;
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

// A report's first field as the program keeps it: its first 40 bytes, "..." where it goes on.
inline std::string shown(const std::string& field) {
  return field.size() > FieldNote::kKept ? field.substr(0, FieldNote::kKept) + "..." : field;
}

// Values in an order of their own (pieces hold them in no particular one), bit for bit: -0.0
// is not 0.0 and NaN is itself.
inline ReferenceTable canonical(ReferenceTable table) {
  for (auto& column : table.columns) {
    std::sort(column.begin(), column.end(), [](double a, double b) {
      std::uint64_t x, y;
      std::memcpy(&x, &a, sizeof x);
      std::memcpy(&y, &b, sizeof y);
      return x < y;
    });
  }
  for (ReferenceNotNumbers& n : table.not_numbers) n.first = shown(n.first);
  return table;
}

inline bool same(const ReferenceTable& a, const ReferenceTable& b) {
  auto bits = [](const std::vector<double>& x, const std::vector<double>& y) {
    return x.size() == y.size() &&
           (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0);
  };
  return std::equal(a.columns.begin(), a.columns.end(), b.columns.begin(), bits) &&
         a.not_numbers == b.not_numbers;
}

// Whether two ranges are the same bit for bit (-0.0 is not 0.0).
inline bool same_range(const ValueRange& a, const ValueRange& b) {
  return std::memcmp(&a.min, &b.min, sizeof a.min) == 0 &&
         std::memcmp(&a.max, &b.max, sizeof a.max) == 0 && a.finite == b.finite &&
         a.non_finite == b.non_finite;
}

inline ValueRange range_of(const std::vector<double>& values) {
  ValueRange range;
  for (const double v : values) range.add(v);
  return range;
}

// Every record of a reading (held or read again) as the counting takes it on `threads`
// threads, each batch handed to `also` too, and its reports, in the reference's shape.
inline ReferenceTable table_of(TableReading& reading, int threads = 1,
                               const RowBatches& also = nullptr) {
  ReferenceTable table;
  std::vector<std::vector<Row>> rows(static_cast<std::size_t>(threads));
  const MaybeFailure failure =
      reading.records.for_each(threads, [&](int thread, std::span<const Row> batch) {
        if (also) also(thread, batch);
        auto& mine = rows[static_cast<std::size_t>(thread)];
        mine.insert(mine.end(), batch.begin(), batch.end());
      });
  EXPECT_FALSE(failure) << failure->line();
  for (const auto& mine : rows) {
    for (const Row& row : mine) {
      for (int i = 0; i < kSeriesCount; ++i) table.columns[i].push_back(row[i]);
    }
  }
  for (int i = 0; i < kSeriesCount; ++i) {
    const NotNumbers& n = reading.not_numbers[i];
    table.not_numbers[i] = {
        n.count,
        n.count ? std::string(n.first.text.data(), n.first.size) + (n.first.longer ? "..." : "")
                : "",
        n.count ? n.first.line : 0};
  }
  return canonical(std::move(table));
}

}  // namespace table_files
