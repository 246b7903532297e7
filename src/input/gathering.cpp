#include "input/gathering.h"

#include <iterator>

namespace histchart {

void Gathered::merge(Gathered&& other) {
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    ranges[i].merge(other.ranges[i]);
    not_numbers[i].merge(other.not_numbers[i]);
  }
  std::move(other.unheld.begin(), other.unheld.end(), std::back_inserter(unheld));
}

void Gathered::shift_lines(std::uint64_t n) {
  for (NotNumbers& tally : not_numbers) tally.first.line += n;
  for (UnheldStretch& u : unheld) u.from.shift_lines(n);
}

void CodedRange::fold_into(ValueRange& range) const {
  if (count_ == 0) return;
  ValueRange coded;
  for (std::size_t decimals = 0; decimals < least_.size(); ++decimals) {
    if (least_[decimals] > most_[decimals]) continue;
    for (const std::int64_t key : {least_[decimals], most_[decimals]}) {
      const bool negative = key < 0;
      const auto w = static_cast<std::uint64_t>(negative ? (-key - 1) / 2 : key / 2);
      coded.add(value_code::value(value_code::make(negative, static_cast<int>(decimals), w)));
    }
  }
  coded.finite = count_;
  range.merge(coded);
}

void Gatherer::note(const TableScanner::Record& record) {
  for (std::size_t i = 0; i < record.notes.size(); ++i) {
    if (record.not_numbers & (1u << i)) gathered_.not_numbers[i].add(record.notes[i]);
  }
}

}  // namespace histchart
