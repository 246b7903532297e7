#include "input/records/field_scan.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace histchart {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHigh = 0x8080808080808080;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;

// The high bit of each byte of `x` that equals `c`, without a carry between bytes.
std::uint64_t bytes_equal(std::uint64_t x, unsigned char c) {
  const std::uint64_t y = x ^ (kOnes * c);
  return ~(((y & kLow7) + kLow7) | y) & kHigh;
}

// The eight high bits of `flags` as the low byte: bit i from byte i.
std::uint64_t gather_high_bits(std::uint64_t flags) {
  return ((flags >> 7) * 0x0102040810204080) >> 56;
}

void classify_scalar(const char* bytes, std::size_t blocks, std::uint64_t* blank,
                     std::uint64_t* newline) {
  for (std::size_t k = 0; k < blocks; ++k) {
    std::uint64_t b = 0, n = 0;
    for (int j = 0; j < 8; ++j) {
      std::uint64_t x;
      std::memcpy(&x, bytes + 64 * k + 8 * j, 8);
      if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
      // \t \n \v \f \r are 9 to 13: at least 9 and not above 13, and no high bit.
      const std::uint64_t low = x & kLow7;
      const std::uint64_t control = (low + kOnes * (0x80 - 9)) & ~(low + kOnes * (0x7F - 13)) & ~x;
      const std::uint64_t line = bytes_equal(x, '\n');
      b |= gather_high_bits((control & kHigh) | bytes_equal(x, ' ')) << (8 * j);
      n |= gather_high_bits(line) << (8 * j);
    }
    blank[k] = b;
    newline[k] = n;
  }
}

// The bits of a 64-byte block where white space turns into a word or back; `carry` tells
// whether the byte before the block is part of a word, and becomes that of its last byte.
inline std::uint64_t turns_in(std::uint64_t blank, std::uint64_t& carry) {
  const std::uint64_t word = ~blank;
  const std::uint64_t turns = word ^ (word << 1 | carry);
  carry = word >> 63;
  return turns;
}

// Where white space turns into a word or back in `blocks` blank masks, `carry` telling whether
// the byte before them is part of a word: the offsets from the first, in order.
std::size_t list_turns(const std::uint64_t* blank, std::size_t blocks, std::uint64_t carry,
                       std::uint16_t* out) {
  std::size_t n = 0;
  for (std::size_t k = 0; k < blocks; ++k) {
    for (std::uint64_t turns = turns_in(blank[k], carry); turns != 0; turns &= turns - 1) {
      out[n++] = static_cast<std::uint16_t>(64 * k + std::countr_zero(turns));
    }
  }
  return n;
}

#if defined(__x86_64__)

// \t to \r, moved to the bottom of the signed range, are exactly what lies below -123 there.
constexpr char kControlShift = static_cast<char>(0x80 - 9);
constexpr char kControlLimit = -123;

void classify_sse2(const char* bytes, std::size_t blocks, std::uint64_t* blank,
                   std::uint64_t* newline) {
  const __m128i space = _mm_set1_epi8(' '), lf = _mm_set1_epi8('\n');
  const __m128i shift = _mm_set1_epi8(kControlShift), limit = _mm_set1_epi8(kControlLimit);
  for (std::size_t k = 0; k < blocks; ++k) {
    std::uint64_t b = 0, n = 0;
    for (int j = 0; j < 4; ++j) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 64 * k + 16 * j));
      const __m128i white =
          _mm_or_si128(_mm_cmpeq_epi8(x, space), _mm_cmplt_epi8(_mm_add_epi8(x, shift), limit));
      b |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(white))} << (16 * j);
      n |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, lf)))}
           << (16 * j);
    }
    blank[k] = b;
    newline[k] = n;
  }
}

__attribute__((target("avx2"))) void classify_avx2(const char* bytes, std::size_t blocks,
                                                   std::uint64_t* blank, std::uint64_t* newline) {
  const __m256i space = _mm256_set1_epi8(' '), lf = _mm256_set1_epi8('\n');
  const __m256i shift = _mm256_set1_epi8(kControlShift);
  const __m256i limit = _mm256_set1_epi8(kControlLimit);
  for (std::size_t k = 0; k < blocks; ++k) {
    std::uint64_t b = 0, n = 0;
    for (int j = 0; j < 2; ++j) {
      const __m256i x =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 64 * k + 32 * j));
      const __m256i white = _mm256_or_si256(_mm256_cmpeq_epi8(x, space),
                                            _mm256_cmpgt_epi8(limit, _mm256_add_epi8(x, shift)));
      b |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(white))} << (32 * j);
      n |= std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, lf)))}
           << (32 * j);
    }
    blank[k] = b;
    newline[k] = n;
  }
}

// The same with popcnt and BMI's bit instructions, which every AVX2 machine has: the turns of a
// block are counted first, and the first 24 written whether there are that many or not (a table
// row of eight words has about 17), so that the loop after them is seldom entered.
constexpr int kWrittenAlways = 24;

__attribute__((target("avx2,bmi,popcnt"))) std::size_t list_turns_avx2(const std::uint64_t* blank,
                                                                       std::size_t blocks,
                                                                       std::uint64_t carry,
                                                                       std::uint16_t* out) {
  std::size_t n = 0;
  for (std::size_t k = 0; k < blocks; ++k) {
    std::uint64_t turns = turns_in(blank[k], carry);
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

#endif

ScanPath best_path() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                 __builtin_cpu_supports("popcnt")
             ? ScanPath::avx2
             : ScanPath::sse2;
#else
  return ScanPath::scalar;
#endif
}

// Chosen on first use; a test may choose another between readings.
std::atomic<int> chosen{-1};

ScanPath current() {
  int path = chosen.load(std::memory_order_relaxed);
  if (path < 0) [[unlikely]] {
    path = static_cast<int>(best_path());
    chosen.store(path, std::memory_order_relaxed);
  }
  return static_cast<ScanPath>(path);
}

// The turns of a batch, listed the way the path in use can.
std::size_t list_batch_turns(const std::uint64_t* blank, std::size_t blocks, std::uint64_t carry,
                             std::uint16_t* out) {
#if defined(__x86_64__)
  if (current() == ScanPath::avx2) return list_turns_avx2(blank, blocks, carry, out);
#endif
  return list_turns(blank, blocks, carry, out);
}

// std::popcount is a library call where the baseline instruction set has no popcnt.
int count_ones(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555;
  x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<int>((x * kOnes) >> 56);
}

bool is_blank(char c) {
  return c == ' ' ||
         (static_cast<unsigned char>(c) >= '\t' && static_cast<unsigned char>(c) <= '\r');
}

}  // namespace

ScanPath scan_path() { return current(); }

bool scan_path_supported(ScanPath path) {
  switch (path) {
    case ScanPath::scalar:
      return true;
    case ScanPath::sse2:
      return best_path() != ScanPath::scalar;
    case ScanPath::avx2:
      return best_path() == ScanPath::avx2;
  }
  return false;
}

bool force_scan_path(ScanPath path) {
  if (!scan_path_supported(path)) return false;
  chosen.store(static_cast<int>(path), std::memory_order_relaxed);
  return true;
}

void classify_blocks(const char* bytes, std::size_t blocks, std::uint64_t* blank,
                     std::uint64_t* newline) {
  switch (current()) {
#if defined(__x86_64__)
    case ScanPath::avx2:
      return classify_avx2(bytes, blocks, blank, newline);
    case ScanPath::sse2:
      return classify_sse2(bytes, blocks, blank, newline);
#endif
    default:
      return classify_scalar(bytes, blocks, blank, newline);
  }
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

void FieldFinder::refill(std::size_t block, bool take_end) {
  const std::size_t base = 64 * block;
  lines_before_base_ = newlines_before(base);
  base_ = base;
  const std::size_t left = bytes_.size() - std::min(base, bytes_.size());
  const std::size_t whole = std::min(kBatch + 1, left / 64);
  classify_blocks(bytes_.data() + base, whole, blank_, newline_);
  std::size_t k = whole;
  if (k < kBatch + 1 && left % 64 != 0) {
    // The view's last bytes, followed by white space as far as the block goes.
    char last[64];
    std::memset(last, ' ', sizeof last);
    std::memcpy(last, bytes_.data() + base + 64 * k, left % 64);
    classify_blocks(last, 1, blank_ + k, newline_ + k);
    ++k;
  }
  for (; k < kBatch + 2; ++k) {
    blank_[k] = ~std::uint64_t{0};
    newline_[k] = 0;
  }
  const bool in_word = base > 0 && base <= bytes_.size() && !is_blank(bytes_[base - 1]);
  const std::size_t n = list_batch_turns(blank_, kBatch, in_word, events_);
  count_ = n;
  next_ = in_word && !take_end ? 1 : 0;
}

}  // namespace histchart
