// What a reading gathers from the records of a stretch of the table: the values it can hold,
// each series' range, the fields that are not numbers, and where it had to stop holding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "base/series_count.h"
#include "base/value_range.h"
#include "input/bytes/stretch.h"
#include "input/bytes/table_failure.h"
#include "input/holding/held_rows.h"
#include "input/records/not_numbers.h"
#include "input/records/table_scanner.h"

namespace histchart {

// A stretch of the table that was measured but not held: to be read again from `from`.
struct UnheldStretch {
  TableScanner from;  // standing where the stretch starts
  std::uint64_t end = kToTableEnd;
  std::uint64_t records = 0;  // records completed in it
};

struct Gathered {
  void merge(Gathered&& other);
  // Makes line numbers counted from a piece's start whole-table ones.
  void shift_lines(std::uint64_t n);

  std::array<ValueRange, kSeriesCount> ranges;
  std::array<NotNumbers, kSeriesCount> not_numbers;
  std::vector<UnheldStretch> unheld;
};

// Whether the table can be read a second time: a regular file can, a pipe cannot.
enum class Rereadable : bool { no, yes };

// Reads the records from where `scanner` stands to the end of `stretch` into `holder` and
// `gathered`. Once the holder has no more room, the rest is only measured and noted in
// gathered.unheld; where the table cannot be read a second time that means
// it does not fit. A word that goes on past the end of the stretch (not of the table) is left
// for the reading that follows.
template <class Stretch>
void gather(Stretch& stretch, TableScanner& scanner, RowHolder& holder, Gathered& gathered,
            Rereadable rereadable);

// Passes over whole lines from where `scanner` stands, gathering nothing, until
// done(scanner) holds at the start of a line or the stretch ends.
template <class Stretch, class Done>
void pass_lines(Stretch& stretch, TableScanner& scanner, Done done);

// ---------------------------------------------------------------------------------------------

// The range of the values with a code, measured on the codes: for each count of decimals the
// least and greatest signed digits, which order those values as the doubles would (-0 below 0),
// so that no value is divided out until the end.
class CodedRange {
 public:
  CodedRange() {
    least_.fill(INT64_MAX);
    most_.fill(INT64_MIN);
  }
  void add(std::uint32_t code) {
    const std::size_t decimals = code >> value_code::kDigitBits & 15;
    const auto w = static_cast<std::int64_t>(code & value_code::kDigitMask);
    const std::int64_t key = code >> 31 ? -2 * w - 1 : 2 * w;
    least_[decimals] = std::min(least_[decimals], key);
    most_[decimals] = std::max(most_[decimals], key);
    ++count_;
  }
  // Adds what was measured to `range`.
  void fold_into(ValueRange& range) const;

 private:
  std::array<std::int64_t, value_code::kMostDecimals + 1> least_, most_;
  std::uint64_t count_ = 0;
};

class Gatherer {
 public:
  Gatherer(RowHolder& holder, Gathered& gathered, bool holding)
      : holder_(holder), gathered_(gathered), holding_(holding) {}

  bool operator()(const TableScanner::Record& record) {
    for (std::size_t i = 0; i < record.codes.size(); ++i) {
      if (value_code::coded(record.codes[i])) [[likely]] {
        coded_[i].add(record.codes[i]);
      } else {
        gathered_.ranges[i].add(record.others[i]);
      }
    }
    if (record.not_numbers != 0) [[unlikely]] {
      note(record);
    }
    if (!holding_) {
      ++measured_;
      return true;
    }
    holder_.push(record.others, record.codes);
    if (holder_.make_room()) return true;
    holding_ = false;
    return false;
  }
  bool holding() const { return holding_; }
  std::uint64_t measured() const { return measured_; }
  // Adds the range of the values with a code to the gathered's.
  void finish() {
    for (std::size_t i = 0; i < coded_.size(); ++i) coded_[i].fold_into(gathered_.ranges[i]);
  }

 private:
  void note(const TableScanner::Record& record);

  RowHolder& holder_;
  Gathered& gathered_;
  std::array<CodedRange, kSeriesCount> coded_;
  bool holding_;
  std::uint64_t measured_ = 0;
};

template <class Stretch>
void gather(Stretch& stretch, TableScanner& scanner, RowHolder& holder, Gathered& gathered,
            Rereadable rereadable) {
  Gatherer gatherer(holder, gathered, holder.make_room());
  std::optional<UnheldStretch> unheld;
  std::uint64_t measured_before = 0;  // records measured before the unheld stretch began
  if (!gatherer.holding()) unheld = UnheldStretch{scanner};
  bool table_end = false;
  walk(stretch, scanner, [&](std::string_view view, bool last) {
    const bool was_holding = gatherer.holding();
    table_end = last;
    scanner.scan(view, gatherer, last);
    if (rereadable == Rereadable::no && gatherer.measured() > 0) does_not_fit();
    if (was_holding && !gatherer.holding()) {
      // The scan stopped right after the last record held: the rest is measured from here.
      unheld = UnheldStretch{scanner};
      measured_before = gatherer.measured();
      return WalkStep::again;
    }
    return WalkStep::next_view;
  });
  gatherer.finish();
  if (unheld) {
    if (!table_end) unheld->end = scanner.offset();
    unheld->records = gatherer.measured() - measured_before;
    gathered.unheld.push_back(std::move(*unheld));
  }
}

template <class Stretch, class Done>
void pass_lines(Stretch& stretch, TableScanner& scanner, Done done) {
  auto ignore = [](const TableScanner::Record&) { return true; };
  walk(stretch, scanner, [&](std::string_view view, bool table_end) {
    for (std::size_t taken = 0; taken < view.size();) {
      const std::size_t lf = view.find('\n', taken);
      const std::size_t line_end = lf == std::string_view::npos ? view.size() : lf + 1;
      const bool last = table_end && line_end == view.size();
      taken += scanner.scan(view.substr(taken, line_end - taken), ignore, last);
      if (taken < line_end) break;  // a word that goes on past the view
      if (lf != std::string_view::npos && done(scanner)) return WalkStep::stop;
    }
    return WalkStep::next_view;
  });
}

}  // namespace histchart
