#include "input/records/field_scan.h"

#include <algorithm>
#include <cstring>
#include <vector>

// Highway compiles this file once for each instruction set it can dispatch to (SSSE3, SSE4,
// AVX2 and AVX-512 on x86-64, NEON and SVE on arm64, and a portable one for the rest), and
// picks the best the machine has on first use.
//
// Not SVE_256, Highway's SVE for a vector of exactly 256 bits: there GCC 12 evaluates the
// union of two byte masks for the first 16 bytes only, and white space in the upper half of
// the vector goes unseen. Machines with such vectors take the SVE that asks the vector's
// length, which classifies every byte right.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS HWY_SVE_256
#endif
// AVX3_DL (AVX-512 with VBMI2 and the rest: Ice Lake, Zen 4) is asked for by name. Debian's
// Highway 1.0.3 leaves it out of the targets otherwise, yet makes it the baseline of a build
// with -march=native on such a machine, and then refuses to compile.
#ifndef HWY_WANT_AVX3_DL
#define HWY_WANT_AVX3_DL
#endif
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "input/records/field_scan.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace histchart {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The lanes of `mask`, of at most 64, as bits from the lowest: StoreMaskBits writes them as
// bytes, the first lanes in the first byte, whatever the byte order.
template <class D>
HWY_INLINE std::uint64_t bits_of(D d, hn::Mask<D> mask) {
  std::uint8_t bytes[8] = {};
  hn::StoreMaskBits(d, mask, bytes);
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= std::uint64_t{bytes[i]} << (8 * i);
  return bits;
}

void classify(const char* bytes, std::size_t strides, std::uint64_t* blank,
              std::uint64_t* newline) {
  // Bytes as signed 8-bit lanes, whatever `char` is: \t to \r, moved to the bottom of the
  // signed range, are exactly what lies below -123 there. At most 64 lanes, a power of two, so
  // that a stride is a whole number of vectors.
  const hn::CappedTag<std::int8_t, 64> d;
  const std::size_t lanes = hn::Lanes(d);
  const auto space = hn::Set(d, ' '), lf = hn::Set(d, '\n');
  const auto shift = hn::Set(d, static_cast<std::int8_t>(0x80 - 9)), limit = hn::Set(d, -123);
  const auto* in = reinterpret_cast<const std::int8_t*>(bytes);
  for (std::size_t k = 0; k < strides; ++k, in += 64) {
    std::uint64_t b = 0, n = 0;
    for (std::size_t j = 0; j < 64; j += lanes) {
      const auto x = hn::LoadU(d, in + j);
      b |= bits_of(d, hn::Or(hn::Eq(x, space), hn::Lt(hn::Add(x, shift), limit))) << j;
      n |= bits_of(d, hn::Eq(x, lf)) << j;
    }
    blank[k] = b;
    newline[k] = n;
  }
}

// Where white space turns into a word or back in `strides` blank masks, `carry` telling whether
// the byte before them is part of a word: the offsets from the first, in order. The turns of a
// stride are counted first, and the first 24 written whether there are that many or not (a
// table row of eight words has about 17), so that the loop after them is seldom entered; `out`
// has room for that past the last.
std::size_t list_turns(const std::uint64_t* blank, std::size_t strides, std::uint64_t carry,
                       std::uint16_t* out) {
  constexpr int kWrittenAlways = 24;
  std::size_t n = 0;
  for (std::size_t k = 0; k < strides; ++k) {
    const std::uint64_t word = ~blank[k];
    std::uint64_t turns = word ^ (word << 1 | carry);
    carry = word >> 63;
    const int count = std::popcount(turns);
    std::uint16_t* const to = out + n;
    const auto at = static_cast<std::uint16_t>(64 * k);
    for (int i = 0; i < kWrittenAlways; ++i) {
      to[i] = static_cast<std::uint16_t>(at + std::countr_zero(turns));
      turns &= turns - 1;
    }
    for (int i = kWrittenAlways; i < count; ++i) {
      to[i] = static_cast<std::uint16_t>(at + std::countr_zero(turns));
      turns &= turns - 1;
    }
    n += static_cast<std::size_t>(count);
  }
  return n;
}

}  // namespace HWY_NAMESPACE
}  // namespace histchart
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace histchart {

HWY_EXPORT(classify);
HWY_EXPORT(list_turns);

namespace {

// What this build has for this machine, best first; taken before a test narrows it.
const std::vector<std::int64_t>& machine_targets() {
  static const std::vector<std::int64_t> targets = hwy::SupportedAndGeneratedTargets();
  return targets;
}

// std::popcount is a library call where the baseline instruction set has no popcnt.
int count_ones(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555;
  x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<int>((x * 0x0101010101010101) >> 56);
}

bool is_blank(char c) {
  return c == ' ' ||
         (static_cast<unsigned char>(c) >= '\t' && static_cast<unsigned char>(c) <= '\r');
}

}  // namespace

std::vector<std::int64_t> scan_targets() { return machine_targets(); }

const char* scan_target_name(std::int64_t target) { return hwy::TargetName(target); }

bool force_scan_target(std::int64_t target) {
  const auto& targets = machine_targets();
  if (target != 0 && std::find(targets.begin(), targets.end(), target) == targets.end()) {
    return false;
  }
  hwy::SetSupportedTargetsForTest(target);
  return true;
}

void classify_strides(const char* bytes, std::size_t strides, std::uint64_t* blank,
                      std::uint64_t* newline) {
  HWY_DYNAMIC_DISPATCH(classify)(bytes, strides, blank, newline);
}

std::uint64_t FieldFinder::newlines_before(std::size_t at) const {
  // Before the batch: only from inside a word that began there, with no LF after it.
  if (at <= base_) return lines_before_base_;
  const std::size_t classified = base_ + 64 * (kBatch + 1);
  const std::size_t k = (std::min(at, classified) - base_) / 64;
  std::uint64_t lines = lines_before_base_;
  for (std::size_t i = 0; i < k; ++i) lines += count_ones(newline_[i]);
  if (at > classified) {
    // Past what is classified, after a jump that the scanner never makes.
    const auto bytes = bytes_.substr(classified, at - classified);
    return lines + static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  }
  return lines + count_ones(newline_[k] & ((std::uint64_t{1} << (at - base_) % 64) - 1));
}

FieldFinder::Word FieldFinder::word_from_later(std::size_t from) {
  const std::size_t size = bytes_.size();
  for (;;) {
    for (; next_ + 2 <= count_; next_ += 2) {
      const std::size_t start = base_ + events_[next_];
      if (start >= from) {
        next_ += 2;
        return {start, base_ + events_[next_ - 1]};
      }
    }
    if (next_ < count_) {
      // A word that goes on past the batch: its end is the first listed in a later one.
      const std::size_t start = base_ + events_[next_];
      // The white space after the view ends every word there at the latest; the bound on the
      // batches only keeps a mistake from looping.
      do {
        refill(base_ / 64 + kBatch, true);
      } while (count_ == 0 && base_ < size);
      const std::size_t end = count_ > 0 ? std::min(base_ + events_[0], size) : size;
      next_ = 1;
      if (start >= from) return {start, end};
      continue;
    }
    if (base_ + kWindows >= size) return {size, size};
    refill(base_ / 64 + kBatch);
  }
}

std::size_t FieldFinder::newline_from_later(std::size_t from) {
  for (;;) {
    if (from >= bytes_.size()) return bytes_.size();
    if (from - base_ >= kWindows) refill(from / 64);
    const std::size_t k = (from - base_) / 64;
    if (const std::uint64_t found = newline_[k] >> (from - base_) % 64) {
      return from + std::countr_zero(found);
    }
    from = base_ + 64 * (k + 1);
  }
}

void FieldFinder::refill(std::size_t stride, bool take_end) {
  const std::size_t base = 64 * stride;
  lines_before_base_ = newlines_before(base);
  base_ = base;
  const std::size_t left = bytes_.size() - std::min(base, bytes_.size());
  const std::size_t whole = std::min(kBatch + 1, left / 64);
  classify_strides(bytes_.data() + base, whole, blank_, newline_);
  std::size_t k = whole;
  if (k < kBatch + 1 && left % 64 != 0) {
    // The view's last bytes, followed by white space as far as the stride goes.
    char last[64];
    std::memset(last, ' ', sizeof last);
    std::memcpy(last, bytes_.data() + base + 64 * k, left % 64);
    classify_strides(last, 1, blank_ + k, newline_ + k);
    ++k;
  }
  for (; k < kBatch + 2; ++k) {
    blank_[k] = ~std::uint64_t{0};
    newline_[k] = 0;
  }
  const bool in_word = base > 0 && base <= bytes_.size() && !is_blank(bytes_[base - 1]);
  const std::size_t n = HWY_DYNAMIC_DISPATCH(list_turns)(blank_, kBatch, in_word, events_);
  count_ = n;
  next_ = in_word && !take_end ? 1 : 0;
}

}  // namespace histchart
#endif  // HWY_ONCE
