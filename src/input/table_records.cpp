#include "input/table_records.h"

#include <utility>
#include <vector>

#include "base/worker_pool.h"
#include "input/bytes/file_stretch.h"
#include "input/bytes/table_failure.h"
#include "input/second_reading.h"

namespace histchart {

namespace {

// Hands the held records over, on the workers, in tasks of about kTaskRows rows: few enough
// that handing them out costs nothing. Coded records are divided out into batches first.
void for_each_held(const std::vector<HeldPart>& parts, int threads, const RowBatches& take) {
  constexpr std::size_t kTaskRows = std::size_t{1} << 18;
  std::vector<std::size_t> task_starts{0};  // in `parts`
  std::size_t rows = 0;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (rows >= kTaskRows) {
      task_starts.push_back(k);
      rows = 0;
    }
    rows += parts[k].size();
  }
  task_starts.push_back(parts.size());
  for_each_task(task_starts.size() - 1, threads, [&](std::size_t t, int worker) {
    RowBatcher batcher(worker, take);
    for (std::size_t k = task_starts[t]; k < task_starts[t + 1]; ++k) {
      const HeldPart& part = parts[k];
      if (part.wide()) {
        batcher.flush();  // the records in the order held
        take(worker, part.wide_rows());
        continue;
      }
      for (const HeldRow& held : part.rows()) {
        Row& row = batcher.next();
        for (int i = 0; i < kSeriesCount; ++i)
          row[static_cast<std::size_t>(i)] = part.value(held, i);
      }
    }
    batcher.flush();
  });
}

}  // namespace

TableRecords::TableRecords() = default;
TableRecords::TableRecords(std::unique_ptr<Kept> kept) : kept_(std::move(kept)) {}
TableRecords::TableRecords(TableRecords&&) noexcept = default;
TableRecords& TableRecords::operator=(TableRecords&&) noexcept = default;
TableRecords::~TableRecords() = default;

std::size_t TableRecords::read_buffer() { return kReadBuffer; }

bool TableRecords::reads_again() const { return kept_ && kept_->unheld; }

MaybeFailure TableRecords::for_each(int threads, const RowBatches& take) {
  if (!kept_) return std::nullopt;
  bool reading = false;
  try {
    for_each_held(kept_->held.parts, threads, take);
    if (kept_->unheld) {
      reading = true;
      read_again(*kept_->unheld, kept_->path, threads, take);
    }
    return std::nullopt;
  } catch (...) {
    // Memory that runs out while held records are handed on is the taker's to name.
    Failure failure = Failure::of_current_exception();
    return reading ? reading_failure(std::move(failure), kept_->path) : failure;
  }
}

}  // namespace histchart
