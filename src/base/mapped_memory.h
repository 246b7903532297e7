// A large block of memory of its own, mapped once and unmapped when it goes.
//
// Made with MAP_NORESERVE: a generous size costs address space, not memory, since only the
// pages actually written become resident. (Transparent huge pages were tried, twice: with
// several threads faulting at once the kernel stalls to compact memory for them, and runs took
// longer, with more system time, not less.)
#pragma once

#include <cstddef>
#include <utility>

class MappedMemory {
 public:
  MappedMemory() = default;
  // Maps `bytes`, or as much less, halving, as the system lends (an address-space limit or
  // strict overcommit may refuse the whole); check size() for what was had. The start and
  // the size are multiples of `align` (a power of two).
  explicit MappedMemory(std::size_t bytes, std::size_t align = 4096);
  MappedMemory(MappedMemory&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  MappedMemory& operator=(MappedMemory&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~MappedMemory();

  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};
