// What the first reading gathers from the records of a stretch of the table: the values it
// can hold, each series' range, the fields that are not numbers, and where it had to stop
// holding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "binning/values.h"
#include "input/not_numbers.h"
#include "input/read_buffer.h"
#include "input/table_scanner.h"

// The records of one piece of the table, held within the run's memory budget, as rows: one
// array a piece rather than seven, which is also how the counting reads them.
class Holder {
 public:
  // Reserves address space for `capacity` records (as much of it as the system lends); memory
  // is taken from `budget` only as records arrive.
  Holder(std::size_t capacity, MemoryBudget& budget);
  ~Holder();
  Holder(Holder&& other) noexcept
      : rows_(std::move(other.rows_)),
        dropped_(std::move(other.dropped_)),
        allowance_(std::exchange(other.allowance_, 0)),
        budget_(other.budget_) {}
  Holder& operator=(Holder&&) = delete;

  // Room for one more record.
  bool room() { return allowance_ > 0 || take(); }
  // REQUIRES: room().
  void push(const Row& row) {
    rows_.push_back(row);
    --allowance_;
  }
  std::size_t size() const { return rows_.size(); }
  // Drops the records from `rows` on and gives their memory back.
  void truncate(std::size_t rows);
  // Drops the records [from, to), which later ones may follow.
  void drop(std::size_t from, std::size_t to);
  // The records held, without the dropped ones.
  Rows release();

 private:
  bool take();

  Rows rows_;
  std::vector<std::pair<std::size_t, std::size_t>> dropped_;
  std::size_t allowance_ = 0;  // records taken from the budget and not yet held
  MemoryBudget* budget_;
};

// A stretch of the table that was measured but not held: to be read again from `from`.
struct Unheld {
  static constexpr std::uint64_t kToEnd = FileChunks::kToEnd;

  TableScanner from;  // standing where the stretch starts
  std::uint64_t end = kToEnd;
  std::uint64_t records = 0;  // records completed in it
};

struct Tally {
  void merge(Tally&& other);
  // Makes line numbers counted from a piece's start whole-table ones.
  void shift_lines(std::uint64_t n);

  std::array<ValueRange, 7> ranges;
  std::array<NotNumbers, 7> not_numbers;
  std::vector<Unheld> unheld;
};

// What a stretch of bytes offers the gathering: FileChunks, or a block in memory.
class MemoryBytes {
 public:
  MemoryBytes(std::string_view bytes, std::uint64_t offset, bool table_end)
      : bytes_(bytes), offset_(offset), table_end_(table_end) {}
  std::string_view at(std::uint64_t offset) const { return bytes_.substr(offset - offset_); }
  bool ends_stretch(std::string_view) const { return true; }
  bool ends_table(std::string_view) const { return table_end_; }

 private:
  std::string_view bytes_;
  std::uint64_t offset_;
  bool table_end_;
};

// Reads the records from where `scanner` stands to the end of `bytes` into `holder` and
// `tally`. Once the holder has no more room, the rest is only measured and noted in
// tally.unheld; where the table cannot be read a second time (`rereadable` false) that means
// it does not fit, and std::bad_alloc is thrown. A word that goes on past the end of the
// stretch (not of the table) is left for the reading that follows.
template <class Bytes>
void gather(Bytes& bytes, TableScanner& scanner, Holder& holder, Tally& tally, bool rereadable);

// Passes over whole lines from where `scanner` stands, without gathering, until
// done(scanner) holds at the start of a line or the bytes end.
template <class Bytes, class Done>
void pass_lines(Bytes& bytes, TableScanner& scanner, Done done);

// A stretch of the table read on its own, from a guessed start: past the header lines, at a
// line start, with no record open. Where the stretch really starts is known only once the
// stretch before it is read; join() then checks the guess.
struct Guess {
  std::uint64_t resume = 0;        // where its own reading started, past its head
  bool resumed_at_record = false;  // with no record open there, as the truth must have it too
  TableScanner scanner;            // where it ended; lines counted from the stretch's start
  Tally tally;
  std::exception_ptr failure;
  bool failed_in_head = false;  // the guess may fail (a long word) where the truth does not
};

// The lines a guess passes over before its own reading starts: the stretch that join() reads
// again from the true state. Records split over lines the same way on every line keep the two
// readings apart; past a few lines the others meet.
inline constexpr std::uint64_t kHeadLines = 16;

// Reads the stretch of `bytes` that starts at `begin` from a guess, holding into `holder`.
template <class Bytes>
void guess(Bytes& bytes, std::uint64_t begin, Holder& holder, Guess& g, bool rereadable);

// Joins a stretch read from a guess to the table read so far; `truth` stands where the
// stretch really starts. The head is read again from the truth: where the truth meets the
// guess at `resume` with no record open, the guess holds from there on; else the whole
// stretch is read again from the truth, after drop() has dropped what the guess held.
// bytes_to(end) gives the bytes from `truth` to `end` (kToEnd: the stretch's end). Rethrows
// what stopped the guess where it holds.
template <class BytesTo, class Drop>
void join(Guess& g, TableScanner& truth, Holder& holder, Tally& total, bool rereadable,
          BytesTo bytes_to, Drop drop);

// ---------------------------------------------------------------------------------------------

class Gatherer {
 public:
  Gatherer(Holder& holder, Tally& tally, bool holding)
      : holder_(holder), tally_(tally), holding_(holding) {}

  bool operator()(const TableScanner::Record& record) {
    for (std::size_t i = 0; i < record.values.size(); ++i) tally_.ranges[i].add(record[i]);
    if (record.not_numbers != 0) [[unlikely]] {
      note(record);
    }
    if (!holding_) {
      ++measured_;
      return true;
    }
    holder_.push(record.values);
    if (holder_.room()) return true;
    holding_ = false;
    return false;
  }
  bool holding() const { return holding_; }
  std::uint64_t measured() const { return measured_; }

 private:
  void note(const TableScanner::Record& record);

  Holder& holder_;
  Tally& tally_;
  bool holding_;
  std::uint64_t measured_ = 0;
};

template <class Bytes>
void gather(Bytes& bytes, TableScanner& scanner, Holder& holder, Tally& tally, bool rereadable) {
  Gatherer gatherer(holder, tally, holder.room());
  std::optional<Unheld> unheld;
  std::uint64_t measured_before = 0;  // records measured before the unheld stretch began
  if (!gatherer.holding()) unheld = Unheld{scanner};
  bool table_end = false;
  for (;;) {
    const std::string_view view = bytes.at(scanner.offset());
    const bool was_holding = gatherer.holding();
    table_end = bytes.ends_table(view);
    scanner.scan(view, gatherer, table_end);
    if (!rereadable && gatherer.measured() > 0) throw std::bad_alloc();
    if (was_holding && !gatherer.holding()) {
      // The scan stopped right after the last record held: the rest is measured from here.
      unheld = Unheld{scanner};
      measured_before = gatherer.measured();
      continue;
    }
    if (bytes.ends_stretch(view)) break;
  }
  if (unheld) {
    if (!table_end) unheld->end = scanner.offset();
    unheld->records = gatherer.measured() - measured_before;
    tally.unheld.push_back(std::move(*unheld));
  }
}

template <class Bytes, class Done>
void pass_lines(Bytes& bytes, TableScanner& scanner, Done done) {
  auto ignore = [](const TableScanner::Record&) { return true; };
  for (;;) {
    const std::string_view view = bytes.at(scanner.offset());
    for (std::size_t taken = 0; taken < view.size();) {
      const std::size_t lf = view.find('\n', taken);
      const std::size_t line_end = lf == std::string_view::npos ? view.size() : lf + 1;
      const bool last = bytes.ends_table(view) && line_end == view.size();
      taken += scanner.scan(view.substr(taken, line_end - taken), ignore, last);
      if (taken < line_end) break;  // a word that goes on past the view
      if (lf != std::string_view::npos && done(scanner)) return;
    }
    if (bytes.ends_stretch(view)) return;
  }
}

template <class Bytes>
void guess(Bytes& bytes, std::uint64_t begin, Holder& holder, Guess& g, bool rereadable) {
  bool in_head = true;
  try {
    g.scanner = TableScanner::at_line_start(begin);
    pass_lines(bytes, g.scanner, [](const TableScanner& s) {
      return s.lines() >= kHeadLines && s.at_record_start();
    });
    g.resume = g.scanner.offset();
    g.resumed_at_record = g.scanner.at_record_start();
    in_head = false;
    gather(bytes, g.scanner, holder, g.tally, rereadable);
  } catch (...) {
    g.failure = std::current_exception();
    g.failed_in_head = in_head;
  }
}

template <class BytesTo, class Drop>
void join(Guess& g, TableScanner& truth, Holder& holder, Tally& total, bool rereadable,
          BytesTo bytes_to, Drop drop) {
  const std::uint64_t lines_before = truth.lines();
  bool in_step = false;
  if (!g.failed_in_head && g.resumed_at_record) {
    TableScanner probe = truth;
    auto head = bytes_to(g.resume);
    pass_lines(head, probe, [](const TableScanner&) { return false; });
    in_step = probe.offset() == g.resume && probe.at_record_start();
  }
  Tally tally;
  if (in_step) {
    if (g.failure) std::rethrow_exception(g.failure);
    auto head = bytes_to(g.resume);
    gather(head, truth, holder, tally, rereadable);
    g.tally.shift_lines(lines_before);
    g.scanner.shift_lines(lines_before);
    total.merge(std::move(tally));
    total.merge(std::move(g.tally));
    truth = g.scanner;
  } else {
    drop();
    auto all = bytes_to(Unheld::kToEnd);
    gather(all, truth, holder, tally, rereadable);
    total.merge(std::move(tally));
  }
}
