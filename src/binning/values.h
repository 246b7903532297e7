// The arrays that hold the records' values, and the range of a series' values.
//
// A reader reserves room for as many records as a stretch of the table could hold, which is
// several times what it will. Large arrays therefore come from mappings of their own, made
// with MAP_NORESERVE: reserving generously costs address space, not memory, since only the
// pages actually written become resident. (Transparent huge pages were tried: with several
// threads faulting at once the kernel stalls to compact memory for them, and runs took longer
// and varied more.) Small arrays use the ordinary heap.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace big_memory {

// From this size on an array gets a mapping of its own.
inline constexpr std::size_t kThreshold = std::size_t{2} << 20;

void* allocate(std::size_t bytes);  // throws std::bad_alloc
void deallocate(void* p, std::size_t bytes) noexcept;

}  // namespace big_memory

template <class T>
struct BigAllocator {
  using value_type = T;

  BigAllocator() = default;
  template <class U>
  BigAllocator(const BigAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::size_t(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(big_memory::allocate(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { big_memory::deallocate(p, n * sizeof(T)); }

  template <class U>
  bool operator==(const BigAllocator<U>&) const noexcept {
    return true;
  }
};

// The seven values of one record, in series order, and records held together: a row at a time
// is what the reader writes and what the counting reads.
using Row = std::array<double, 7>;
using Rows = std::vector<Row, BigAllocator<Row>>;

// The extent of a series: its smallest and largest finite value, and how many values were and
// were not finite (NaN and +-inf have no place on a finite axis and are left out).
struct ValueRange {
  void add(double v) {
    if (!std::isfinite(v)) {
      ++non_finite;
      return;
    }
    ++finite;
    widen(v, v);
  }
  // Two ranges of values read apart give the range of all of them.
  void merge(const ValueRange& other) {
    if (other.finite > 0) widen(other.min, other.max);
    finite += other.finite;
    non_finite += other.non_finite;
  }

  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();
  std::uint64_t finite = 0;
  std::uint64_t non_finite = 0;

 private:
  void widen(double low, double high) {
    // Between equal zeros -0.0 is the smaller: the lowest edge label then reads "-0" exactly
    // when the table holds a -0.0 and nothing below it.
    if (low < min || (low == min && std::signbit(low))) min = low;
    if (high > max || (high == max && !std::signbit(high))) max = high;
  }
};
