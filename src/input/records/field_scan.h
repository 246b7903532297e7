// The words and line breaks of a view of the table, found 64 bytes at a time: one compare per
// byte class over a stride, packed into one bit a byte (white space, LF); the bits where white
// space turns into a word and back are then listed, a batch of strides at a time, as the starts
// and ends of the words. The scanner takes words from that list without a branch a byte, and
// without one word's search waiting on the one before.
//
// Strides are classified with the widest vector compares the machine has, chosen at run time
// among those this build has (through Highway). Every instruction set sets the same bits:
// which one runs changes no result, only the speed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace histchart {

// The instruction sets the scan is built for that this machine has, as Highway names them by
// bits, best first: the first is the one in use, unless a test forced another.
std::vector<std::int64_t> scan_targets();
const char* scan_target_name(std::int64_t target);
// For tests, which hold every instruction set to the same results: classify with `target` from
// now on, or with the best again for 0. Returns false, and changes nothing, where the machine
// lacks it.
bool force_scan_target(std::int64_t target);

// Sets bit i of blank[k] where byte 64k + i is white space (space, \t, \n, \v, \f, \r), and of
// newline[k] where it is a LF.
// REQUIRES: 64 * strides bytes readable at `bytes`.
void classify_strides(const char* bytes, std::size_t strides, std::uint64_t* blank,
                      std::uint64_t* newline);

// The words of one view, in order, and its line breaks. Positions are offsets in the view;
// they are asked for in increasing order. The view is taken to begin outside a word.
class FieldFinder {
 public:
  struct Word {
    std::size_t start, end;  // the view's size for both where there is none
  };

  explicit FieldFinder(std::string_view bytes) : bytes_(bytes) { refill(0); }

  // The first word that starts at or after `from`. A word that reaches the end of the view
  // ends there.
  Word word_from(std::size_t from) {
    if (next_ + 2 <= count_) [[likely]] {
      const std::size_t start = base_ + events_[next_];
      if (start >= from) [[likely]] {
        next_ += 2;
        return {start, base_ + events_[next_ - 1]};
      }
    }
    return word_from_later(from);
  }

  // The next eight words, as offsets from base(), starts and ends alternately, where all of
  // them lie in the batch at hand, the first starts at or after `from`, `room` bytes of the view
  // follow the start of the last, and the last ends before the view does (a word that reaches
  // the end of the view may go on in the next); else null, and nothing is taken.
  const std::uint16_t* eight_words(std::size_t from, std::size_t room) {
    if (next_ + 16 <= count_ && base_ + events_[next_] >= from &&
        base_ + events_[next_ + 14] + room <= bytes_.size() &&
        base_ + events_[next_ + 15] < bytes_.size()) [[likely]] {
      next_ += 16;
      return events_ + next_ - 16;
    }
    return nullptr;
  }
  std::size_t base() const { return base_; }

  // The first LF at or after `from`, or the view's size.
  std::size_t newline_from(std::size_t from) {
    const std::size_t at = from - base_;
    if (at < kWindows) {
      const std::size_t k = at / 64, shift = at % 64;
      // The 64 bits from `at` on, from this stride and the next.
      const std::uint64_t window = newline_[k] >> shift | newline_[k + 1] << 1 << (63 - shift);
      if (window != 0) return from + std::countr_zero(window);
    }
    return newline_from_later(from);
  }

  // How many LFs the view holds before `at`.
  // REQUIRES: `at` is no earlier than the last position asked for or returned, or lies inside
  // the last word returned.
  std::uint64_t newlines_before(std::size_t at) const;

 private:
  static constexpr std::size_t kBatch = 32;  // strides classified at once, 2 KiB
  static constexpr std::size_t kWindows = kBatch * 64;

  Word word_from_later(std::size_t from);
  std::size_t newline_from_later(std::size_t from);
  // Classifies the batch that begins with stride `stride`, and the stride after it (strides past
  // the view's end read as white space), and lists the word starts and ends in the batch. The
  // first listed is the end of a word begun before the batch where there is one; it is passed
  // over unless `take_end`.
  void refill(std::size_t stride, bool take_end = false);

  std::string_view bytes_;
  std::size_t base_ = 0;  // the view's offset of the batch's first byte
  std::uint64_t lines_before_base_ = 0;
  // The batch, the stride after it, and a stride with no LF that ends a count there.
  std::uint64_t blank_[kBatch + 2];
  std::uint64_t newline_[kBatch + 2];
  // Word starts and ends, alternately, as offsets from base_; room for a stride's worth more,
  // which the listing writes past the last one.
  std::uint16_t events_[kWindows + 64];
  std::size_t count_ = 0;
  std::size_t next_ = 0;
};

}  // namespace histchart
