// The array type that holds a series' values and a bin's elements.
//
// A table of millions of rows fills hundreds of megabytes of fresh memory, and on the machines
// we run on the first touch of each 4 KiB page costs more than parsing the numbers that fill
// it. Large arrays therefore come from their own mappings aligned to 2 MiB and marked for
// transparent huge pages, which the kernel fills a huge page at a time. Mappings are made with
// MAP_NORESERVE, so reserving generously costs address space, not memory: only the pages
// actually written become resident. Small arrays use the ordinary heap.
#pragma once

#include <atomic>
#include <cstddef>
#include <new>
#include <thread>
#include <vector>

namespace big_memory {

inline constexpr std::size_t kHugePage = std::size_t{2} << 20;
// From this size on an array gets its own huge-page mapping.
inline constexpr std::size_t kThreshold = kHugePage;

void* allocate(std::size_t bytes);  // throws std::bad_alloc
void deallocate(void* p, std::size_t bytes) noexcept;

}  // namespace big_memory

// Faults in the pages of fixed-capacity arrays a few MiB ahead of the writer that fills them,
// on a thread of its own: the kernel then clears fresh pages on another core while this one
// parses. It only asks the kernel to map the pages (MADV_POPULATE_WRITE) and never reads or
// writes the arrays; where the kernel cannot, it does nothing.
class FaultAhead {
 public:
  // REQUIRES: each array has room for `capacity` elements that stays put while this lives.
  FaultAhead(std::vector<double*> arrays, std::size_t capacity);
  ~FaultAhead();
  FaultAhead(const FaultAhead&) = delete;
  FaultAhead& operator=(const FaultAhead&) = delete;

  // The writer has filled the first `elements` of every array.
  void advance(std::size_t elements);

 private:
  void run();

  std::vector<double*> arrays_;
  std::size_t capacity_;
  std::atomic<std::size_t> written_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

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

using Values = std::vector<double, BigAllocator<double>>;
