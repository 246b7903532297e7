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
#include <memory>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "base/mapped_memory.h"
#include "input/series_count.h"

using Row = std::array<double, kSeriesCount>;

class RowArena {
 public:
  // A chunk takes a huge page's 2 MiB: the page faults of different threads then never meet in
  // one page table.
  static constexpr std::size_t kChunkBytes = std::size_t{2} << 20;
  static constexpr std::size_t kChunkRows = kChunkBytes / sizeof(Row);

  // Room for `bytes` of rows, in whole chunks; less where the system lends less.
  explicit RowArena(std::uint64_t bytes);
  RowArena(const RowArena&) = delete;
  RowArena& operator=(const RowArena&) = delete;

  // A chunk of kChunkRows rows; nullptr when every chunk is out.
  Row* take();
  void give_back(Row* chunk);

 private:
  MappedMemory memory_;
  std::size_t chunks_ = 0;
  std::atomic<std::size_t> next_{0};  // chunks never taken start here
  std::mutex mutex_;
  Row* returned_ = nullptr;  // chunks given back, each holding the address of the next
};

// The records of one piece of the table (or of one worker's blocks), in the order read.
class Holder {
 public:
  explicit Holder(RowArena& arena) : arena_(&arena) {}
  Holder(Holder&& other) noexcept
      : arena_(other.arena_),
        chunks_(std::move(other.chunks_)),
        dropped_(std::move(other.dropped_)),
        size_(std::exchange(other.size_, 0)) {}
  Holder& operator=(Holder&&) = delete;
  ~Holder();  // gives back what was not handed over

  // Makes room for one more record, taking a chunk from the arena where the last is full.
  // False when the arena has none left.
  bool make_room() { return size_ < chunks_.size() * RowArena::kChunkRows || take_chunk(); }
  // REQUIRES: make_room().
  void push(const Row& row) {
    chunks_[size_ / RowArena::kChunkRows][size_ % RowArena::kChunkRows] = row;
    ++size_;
  }
  std::size_t size() const { return size_; }
  // Drops the records from `rows` on, giving their chunks back.
  void truncate(std::size_t rows);
  // Drops the records [from, to), which later ones may follow.
  void drop(std::size_t from, std::size_t to);
  // Hands the records held, without the dropped ones, over to `parts`; they stay in the
  // arena, which must outlive them.
  void hand_over(std::vector<std::span<const Row>>& parts);

 private:
  bool take_chunk();

  RowArena* arena_;
  std::vector<Row*> chunks_;
  std::vector<std::pair<std::size_t, std::size_t>> dropped_;
  std::size_t size_ = 0;
};

// Every record a reading held: spans into the arena, in no particular order (counting needs
// none).
struct HeldRecords {
  std::unique_ptr<RowArena> arena;
  std::vector<std::span<const Row>> parts;
};
