// A stretch of the table's bytes as the readers walk it, and the one walk over it.
//
// A stretch offers:
//   at(offset)         the bytes from `offset` on, as many as are at hand, up to its end;
//                      asked again for the same offset (the walk left a word unfinished at
//                      the end of the view), more of them;
//   ends_stretch(view) whether `view`, from at(), reaches the end of the stretch;
//   ends_table(view)   whether it also reaches the end of the table.
// FileStretch reads a file through a buffer; MemoryStretch is a view of bytes in memory.
#pragma once

#include <cstdint>
#include <string_view>

#include "input/records/table_scanner.h"

namespace histchart {

// The end of a stretch that runs on to the end of the table.
inline constexpr std::uint64_t kToTableEnd = UINT64_MAX;

class MemoryStretch {
 public:
  // `bytes` start at `offset` in the table; `table_end`: the table ends with them.
  MemoryStretch(std::string_view bytes, std::uint64_t offset, bool table_end)
      : bytes_(bytes), offset_(offset), table_end_(table_end) {}
  std::string_view at(std::uint64_t offset) const { return bytes_.substr(offset - offset_); }
  bool ends_stretch(std::string_view) const { return true; }
  bool ends_table(std::string_view) const { return table_end_; }

 private:
  std::string_view bytes_;
  std::uint64_t offset_;
  bool table_end_;
};

enum class WalkStep {
  next_view,  // go on with the next view (or stop at the end of the stretch)
  again,      // at() again from where the scanner stands: the scan stopped early
  stop,
};

// Walks `stretch` from where `scanner` stands: step(view, table_end) is called with the bytes
// from the scanner's offset, scans (some of) them and says how to go on. A word cut by the end
// of a view is presented again, whole, with the next one.
template <class Stretch, class Step>
void walk(Stretch& stretch, const TableScanner& scanner, Step step) {
  for (;;) {
    const std::string_view view = stretch.at(scanner.offset());
    const WalkStep next = step(view, stretch.ends_table(view));
    if (next == WalkStep::stop) return;
    if (next == WalkStep::again) continue;
    if (stretch.ends_stretch(view)) return;
  }
}

}  // namespace histchart
