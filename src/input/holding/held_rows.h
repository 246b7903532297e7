// The records a reading holds in memory, as rows of seven values: a row at a time is what the
// reader writes and what the counting reads.
//
// All of them live in one mapping, RowArena, made once for the run at the size the run's
// memory budget gives held records, and handed out in chunks to the holders of the pieces and
// blocks being read in parallel. The budget is then a fact of the address space rather than a
// count kept beside it: holding can never take what the rest of the run needs, also under an
// address-space limit, and how much is held never depends on how many threads hold.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "base/mapped_memory.h"
#include "base/series_count.h"
#include "input/records/value_code.h"

namespace histchart {

// A held record: the codes of its seven values (value_code.h). A value without a code is kept
// as a double at the far end of the record's chunk, and its code says where. Where a holder's
// chunk held mostly values without a code, which so take more room than doubles do, its
// later chunks are wide: they hold Rows.
using HeldRow = std::array<std::uint32_t, kSeriesCount>;

class RowArena {
 public:
  // A chunk takes a huge page's 2 MiB: the page faults of different threads then never meet in
  // one page table.
  static constexpr std::size_t kChunkBytes = std::size_t{2} << 20;
  // The most a record takes: its codes, and seven doubles where none of its values has one.
  static constexpr std::size_t kMostRowBytes = sizeof(HeldRow) + kSeriesCount * sizeof(double);

  // Room for `bytes` of records, in whole chunks; less where the system lends less.
  explicit RowArena(std::uint64_t bytes);
  RowArena(const RowArena&) = delete;
  RowArena& operator=(const RowArena&) = delete;

  // Where in a chunk its `slot`th value without a code is kept: from the far end down.
  static constexpr std::size_t slot_offset(std::uint32_t slot) {
    return kChunkBytes - (std::size_t{slot} + 1) * sizeof(double);
  }

  // A chunk of kChunkBytes; nullptr when every chunk is out.
  std::byte* take();
  void give_back(std::byte* chunk);

 private:
  MappedMemory memory_;
  std::size_t chunks_ = 0;
  std::atomic<std::size_t> next_{0};  // chunks never taken start here
  std::mutex mutex_;
  std::byte* returned_ = nullptr;  // chunks given back, each holding the address of the next
};

// Records held in one chunk, in the order read.
class HeldChunk {
 public:
  HeldChunk(const std::byte* chunk, std::size_t first, std::size_t size, bool wide)
      : chunk_(chunk), first_(first), size_(size), wide_(wide) {}

  std::size_t size() const { return size_; }
  bool wide() const { return wide_; }
  // REQUIRES: wide().
  std::span<const Row> wide_rows() const {
    return {reinterpret_cast<const Row*>(chunk_) + first_, size_};
  }
  // REQUIRES: !wide().
  std::span<const HeldRow> rows() const {
    return {reinterpret_cast<const HeldRow*>(chunk_) + first_, size_};
  }
  // The value of series `series` in `row`, one of rows().
  double value(const HeldRow& row, int series) const {
    const std::uint32_t code = row[static_cast<std::size_t>(series)];
    if (value_code::coded(code)) [[likely]] {
      return value_code::value(code);
    }
    return kept(chunk_, code & value_code::kDigitMask);
  }

 private:
  static double kept(const std::byte* chunk, std::uint32_t slot) {
    double v;
    std::memcpy(&v, chunk + RowArena::slot_offset(slot), sizeof v);
    return v;
  }

  const std::byte* chunk_;
  std::size_t first_;
  std::size_t size_;
  bool wide_;
};

// The records of one piece of the table (or of one worker's blocks), in the order read.
class RowHolder {
 public:
  explicit RowHolder(RowArena& arena) : arena_(&arena) {}
  RowHolder(RowHolder&& other) noexcept
      : arena_(other.arena_),
        chunks_(std::move(other.chunks_)),
        dropped_(std::move(other.dropped_)),
        size_(std::exchange(other.size_, 0)) {}
  RowHolder& operator=(RowHolder&&) = delete;
  ~RowHolder();  // gives back what was not handed over

  // Makes room for one more record, taking a chunk from the arena where the last is full.
  // False when the arena has none left.
  bool make_room() { return (!chunks_.empty() && fits(chunks_.back())) || take_chunk(); }
  // Holds a record: its codes, and in `others` its values that have none (the rest of
  // `others` is not read).
  // REQUIRES: make_room().
  void push(const Row& others, const HeldRow& codes) {
    Chunk& chunk = chunks_.back();
    if (chunk.wide) [[unlikely]] {
      // A wide chunk holds doubles: a value with a code is divided out now.
      Row& row = reinterpret_cast<Row*>(chunk.base)[chunk.rows++];
      for (std::size_t i = 0; i < row.size(); ++i) {
        row[i] = value_code::coded(codes[i]) ? value_code::value(codes[i]) : others[i];
      }
      ++size_;
      return;
    }
    HeldRow& row = reinterpret_cast<HeldRow*>(chunk.base)[chunk.rows];
    row = codes;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (!value_code::coded(row[i])) [[unlikely]] {
        std::memcpy(chunk.base + RowArena::slot_offset(chunk.slots), &others[i], sizeof(double));
        row[i] = value_code::kNone | chunk.slots++;
      }
    }
    ++chunk.rows;
    ++size_;
  }
  std::size_t size() const { return size_; }
  // Drops the records from `rows` on, giving their chunks back.
  void truncate(std::size_t rows);
  // Drops the records [from, to), which later ones may follow.
  void drop(std::size_t from, std::size_t to);
  // Hands the records held, without the dropped ones, over to `held`; they stay in the
  // arena, which must outlive them.
  void hand_over(std::vector<HeldChunk>& held);

 private:
  struct Chunk {
    std::byte* base;
    bool wide = false;
    std::uint32_t rows = 0;
    std::uint32_t slots = 0;  // values without a code kept at its far end
  };
  static bool fits(const Chunk& chunk) {
    if (chunk.wide) return (chunk.rows + 1) * sizeof(Row) <= RowArena::kChunkBytes;
    return (chunk.rows + 1) * sizeof(HeldRow) + (chunk.slots + kSeriesCount) * sizeof(double) <=
           RowArena::kChunkBytes;
  }
  bool take_chunk();

  RowArena* arena_;
  std::vector<Chunk> chunks_;
  std::vector<std::pair<std::size_t, std::size_t>> dropped_;
  std::size_t size_ = 0;
};

// Every record a reading held: spans into the arena, in no particular order (counting needs
// none).
struct HeldRecords {
  std::unique_ptr<RowArena> arena;
  std::vector<HeldChunk> chunks;
};

}  // namespace histchart
