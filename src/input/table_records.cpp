#include "input/table_records.h"

#include <utility>
#include <vector>

#include "base/worker_pool.h"
#include "input/bytes/file_stretch.h"
#include "input/bytes/table_failure.h"
#include "input/holding/held_rows.h"
#include "input/row_batcher.h"
#include "input/second_reading.h"

namespace histchart {

struct TableRecords::Kept {
  HeldRecords held;
  std::optional<UnheldRecords> unheld;  // set where not every record was held
  std::string path;                     // for the failures of reading it again
};

namespace {

// Hands the held records over, on the workers, in tasks of about kTaskRows rows: few enough
// that handing them out costs nothing. Coded records are divided out into batches first.
void for_each_held(const std::vector<HeldChunk>& chunks, int threads, const RowBatches& take) {
  constexpr std::size_t kTaskRows = std::size_t{1} << 18;
  std::vector<std::size_t> task_starts{0};  // in `chunks`
  std::size_t rows = 0;
  for (std::size_t k = 0; k < chunks.size(); ++k) {
    if (rows >= kTaskRows) {
      task_starts.push_back(k);
      rows = 0;
    }
    rows += chunks[k].size();
  }
  task_starts.push_back(chunks.size());
  for_each_task(task_starts.size() - 1, threads, [&](std::size_t t, int worker) {
    RowBatcher batcher(worker, take);
    for (std::size_t k = task_starts[t]; k < task_starts[t + 1]; ++k) {
      const HeldChunk& chunk = chunks[k];
      if (chunk.wide()) {
        batcher.flush();  // the records in the order held
        take(worker, chunk.wide_rows());
        continue;
      }
      for (const HeldRow& held : chunk.rows()) {
        Row& row = batcher.next();
        for (int i = 0; i < kSeriesCount; ++i)
          row[static_cast<std::size_t>(i)] = chunk.value(held, i);
      }
    }
    batcher.flush();
  });
}

}  // namespace

TableRecords::TableRecords() = default;
TableRecords::TableRecords(HeldRecords held, std::optional<UnheldRecords> unheld, std::string path)
    : kept_(std::make_unique<Kept>(Kept{std::move(held), std::move(unheld), std::move(path)})) {}
TableRecords::TableRecords(TableRecords&&) noexcept = default;
TableRecords& TableRecords::operator=(TableRecords&&) noexcept = default;
TableRecords::~TableRecords() = default;

bool TableRecords::reads_again() const { return kept_ && kept_->unheld; }

MaybeFailure TableRecords::for_each(int threads, const RowBatches& take, std::uint64_t beside) {
  if (!kept_) return std::nullopt;
  bool reading = false;
  try {
    for_each_held(kept_->held.chunks, threads, take);
    if (kept_->unheld) {
      reading = true;
      read_again(*kept_->unheld, kept_->path, threads, take);
    }
    return std::nullopt;
  } catch (...) {
    // Memory that runs out while held records are handed on, or where the taker holds more
    // than a read buffer, is the taker's to name: less of its own would do, a smaller table
    // would not.
    Failure failure = Failure::of_current_exception();
    if (!reading) return failure;
    if (failure.of_memory() && beside > kReadBuffer) return Failure::out_of_memory();
    return reading_failure(std::move(failure), kept_->path);
  }
}

}  // namespace histchart
