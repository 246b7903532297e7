#include "input/gathering.h"

#include <algorithm>

namespace {

// Records are taken from the budget in batches: one atomic operation per batch, not per record.
constexpr std::size_t kBatch = std::size_t{1} << 16;
constexpr std::uint64_t kRecordBytes = sizeof(Row);

}  // namespace

Holder::Holder(std::size_t capacity, MemoryBudget& budget) : budget_(&budget) {
  // A reservation costs address space, not memory (see BigAllocator), but an address-space
  // limit or strict overcommit may still refuse it: then less is reserved.
  for (capacity = std::min(capacity, rows_.max_size());; capacity /= 2) {
    try {
      rows_.reserve(capacity);
      return;
    } catch (const std::bad_alloc&) {
      Rows().swap(rows_);
    }
  }
}

Holder::~Holder() {
  if (budget_) budget_->give(allowance_ * kRecordBytes);
}

bool Holder::take() {
  const std::size_t capacity = rows_.capacity() - rows_.size();
  allowance_ = static_cast<std::size_t>(
      budget_->take_up_to(std::min(kBatch, capacity) * kRecordBytes) / kRecordBytes);
  return allowance_ > 0;
}

void Holder::truncate(std::size_t rows) {
  if (rows >= size()) return;
  budget_->give((size() - rows) * kRecordBytes);
  rows_.resize(rows);
}

void Holder::drop(std::size_t from, std::size_t to) {
  if (to == size()) return truncate(from);
  if (from < to) dropped_.emplace_back(from, to);
}

Rows Holder::release() {
  budget_->give(allowance_ * kRecordBytes);
  allowance_ = 0;
  // Rare (a stretch read with a wrong guess, while later ones were held after it): the
  // dropped records close up.
  std::sort(dropped_.begin(), dropped_.end());
  std::size_t kept = dropped_.empty() ? rows_.size() : dropped_.front().first;
  for (std::size_t k = 0; k < dropped_.size(); ++k) {
    const std::size_t next = k + 1 < dropped_.size() ? dropped_[k + 1].first : rows_.size();
    std::copy(rows_.begin() + static_cast<std::ptrdiff_t>(dropped_[k].second),
              rows_.begin() + static_cast<std::ptrdiff_t>(next),
              rows_.begin() + static_cast<std::ptrdiff_t>(kept));
    kept += next - dropped_[k].second;
  }
  rows_.resize(kept);
  dropped_.clear();
  return std::move(rows_);
}

void Tally::merge(Tally&& other) {
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    ranges[i].merge(other.ranges[i]);
    not_numbers[i].merge(other.not_numbers[i]);
  }
  std::move(other.unheld.begin(), other.unheld.end(), std::back_inserter(unheld));
}

void Tally::shift_lines(std::uint64_t n) {
  for (NotNumbers& tally : not_numbers) tally.first.line += n;
  for (Unheld& u : unheld) u.from.shift_lines(n);
}

void Gatherer::note(const TableScanner::Record& record) {
  for (std::size_t i = 0; i < record.notes.size(); ++i) {
    if (record.not_numbers & (1u << i)) tally_.not_numbers[i].add(record.notes[i]);
  }
}
