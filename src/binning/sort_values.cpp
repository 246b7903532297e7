#include "binning/sort_values.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "binning/values.h"

namespace {

constexpr int kDigitBits = 11;
constexpr int kPasses = (64 + kDigitBits - 1) / kDigitBits;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
constexpr std::uint64_t kDigitMask = kBuckets - 1;
// Below this a comparison sort is faster than setting up the radix passes.
constexpr std::size_t kSmall = 512;

// Maps a double to an unsigned key with the same order: negative numbers have all bits
// flipped (larger magnitude, smaller key), others only the sign bit.
std::uint64_t key_of(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits ^ (static_cast<std::uint64_t>(static_cast<std::int64_t>(bits) >> 63) | (1ull << 63));
}

double value_of(std::uint64_t key) {
  const std::uint64_t bits = key ^ (((key >> 63) - 1) | (1ull << 63));
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

struct ScratchDeleter {
  std::size_t bytes;
  void operator()(std::uint64_t* p) const { big_memory::deallocate(p, bytes); }
};

}  // namespace

void sort_values(double* values, std::size_t n) {
  if (n < kSmall) {
    std::sort(values, values + n);
    return;
  }
  // The keys live in the caller's array (a double and its key have the same size) and in one
  // scratch array; the passes move them back and forth between the two.
  auto* keys = reinterpret_cast<std::uint64_t*>(values);
  std::array<std::array<std::size_t, kBuckets>, kPasses> counts{};
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t k = key_of(values[i]);
    std::memcpy(&keys[i], &k, sizeof k);
    for (int p = 0; p < kPasses; ++p) ++counts[p][(k >> (p * kDigitBits)) & kDigitMask];
  }
  const std::size_t bytes = n * sizeof(std::uint64_t);
  std::unique_ptr<std::uint64_t, ScratchDeleter> scratch(
      static_cast<std::uint64_t*>(big_memory::allocate(bytes)), ScratchDeleter{bytes});
  std::uint64_t* from = keys;
  std::uint64_t* to = scratch.get();
  for (int p = 0; p < kPasses; ++p) {
    auto& count = counts[p];
    const int shift = p * kDigitBits;
    // A digit that all keys share leaves the order as it is.
    if (count[(from[0] >> shift) & kDigitMask] == n) continue;
    std::size_t offset = 0;
    for (std::size_t& c : count) {
      const std::size_t here = c;
      c = offset;
      offset += here;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint64_t k = from[i];
      to[count[(k >> shift) & kDigitMask]++] = k;
    }
    std::swap(from, to);
  }
  // Back to doubles straight from wherever the last pass left the keys: no extra copy.
  for (std::size_t i = 0; i < n; ++i) {
    const double v = value_of(from[i]);
    std::memcpy(&values[i], &v, sizeof v);
  }
}
