// A large block of memory of its own, mapped once and unmapped when it goes.
//
// Made with MAP_NORESERVE: a generous size costs address space, not memory, since only the
// pages actually written become resident.
#pragma once

#include <cstddef>
#include <utility>

namespace histchart {

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

  // Asks for transparent huge pages, where the system offers them. With populate() this
  // halved the time of a 10M-row run on our (virtual) machines, where a fault a 4 KiB page
  // costs more than the parsing that fills it. (Huge pages alone, faulted in by several
  // threads at once, had earlier made runs slower, with the kernel compacting memory.)
  void prefer_huge_pages();
  // Makes [at, at + bytes) within the block resident and writable in one call instead of a
  // fault a page. Does nothing where the kernel cannot (before Linux 5.14): the pages then
  // fault in as they are written.
  void populate(void* at, std::size_t bytes);

  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace histchart
