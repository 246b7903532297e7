#include "input/holding/held_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace histchart {

RowArena::RowArena(std::uint64_t bytes) {
  // Beyond 2^40 bytes no table needs more, and the address space of the machine stays free.
  const std::uint64_t chunks = std::min(bytes, std::uint64_t{1} << 40) / kChunkBytes;
  if (chunks == 0) return;
  memory_ = MappedMemory(static_cast<std::size_t>(chunks * kChunkBytes), kChunkBytes);
  chunks_ = memory_.size() / kChunkBytes;
  memory_.prefer_huge_pages();
}

std::byte* RowArena::take() {
  {
    std::lock_guard lock(mutex_);
    if (std::byte* chunk = returned_) {
      std::uintptr_t next = 0;
      std::memcpy(&next, chunk, sizeof next);
      returned_ = reinterpret_cast<std::byte*>(next);
      return chunk;
    }
  }
  const std::size_t k = next_++;
  if (k >= chunks_) {
    next_ = chunks_;
    return nullptr;
  }
  // Populated by the thread that writes it first, so its pages sit near that thread's core.
  std::byte* chunk = static_cast<std::byte*>(memory_.data()) + k * kChunkBytes;
  memory_.populate(chunk, kChunkBytes);
  return chunk;
}

void RowArena::give_back(std::byte* chunk) {
  std::lock_guard lock(mutex_);
  const auto next = reinterpret_cast<std::uintptr_t>(returned_);
  std::memcpy(chunk, &next, sizeof next);
  returned_ = chunk;
}

RowHolder::~RowHolder() { truncate(0); }

bool RowHolder::take_chunk() {
  // The list of chunks grows before the chunk is taken, so that no chunk is ever lost.
  chunks_.reserve(chunks_.size() + 1);
  std::byte* chunk = arena_->take();
  if (!chunk) return false;
  // Wide where the chunk before held more values without a code than codes pay for.
  const bool wide = !chunks_.empty() && (chunks_.back().wide ||
                                         chunks_.back().slots * sizeof(double) >
                                             chunks_.back().rows * (sizeof(Row) - sizeof(HeldRow)));
  chunks_.push_back({chunk, wide});
  return true;
}

void RowHolder::truncate(std::size_t rows) {
  if (rows >= size_) return;
  size_ = rows;
  // The chunks that hold a record below `rows` stay, the last of them cut short; the values
  // without a code that its dropped records kept stay unused until it is given back.
  std::size_t kept = 0;
  for (std::size_t before = 0; kept < chunks_.size() && before < rows; ++kept) {
    Chunk& chunk = chunks_[kept];
    chunk.rows = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.rows, rows - before));
    before += chunk.rows;
  }
  for (std::size_t k = kept; k < chunks_.size(); ++k) arena_->give_back(chunks_[k].base);
  chunks_.resize(kept);
  std::erase_if(dropped_, [&](const auto& range) { return range.first >= rows; });
}

void RowHolder::drop(std::size_t from, std::size_t to) {
  if (to == size_) return truncate(from);
  if (from < to) dropped_.emplace_back(from, to);
}

void RowHolder::hand_over(std::vector<HeldChunk>& held) {
  // Rare (a stretch read from a wrong guess while later ones were held after it): the
  // dropped records are skipped.
  std::sort(dropped_.begin(), dropped_.end());
  std::size_t at = 0;
  auto add = [&](std::size_t from, std::size_t to) {
    std::size_t before = 0;
    for (const Chunk& chunk : chunks_) {
      const std::size_t low = std::max(from, before), high = std::min(to, before + chunk.rows);
      if (low < high) held.emplace_back(chunk.base, low - before, high - low, chunk.wide);
      before += chunk.rows;
    }
  };
  for (const auto& [from, to] : dropped_) {
    add(at, std::min(from, size_));
    at = std::max(at, to);
  }
  add(at, size_);
  chunks_.clear();
  dropped_.clear();
  size_ = 0;
}

}  // namespace histchart
