#include "binning/values.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace big_memory {

namespace {

std::size_t mapped_size(std::size_t bytes) {
  return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocate(std::size_t bytes) {
  if (bytes < kThreshold) {
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (!p) throw std::bad_alloc();
    return p;
  }
  // Map one huge page more than needed and trim to a 2 MiB-aligned block.
  const std::size_t size = mapped_size(bytes);
  const std::size_t padded = size + kHugePage;
  if (padded < size) throw std::bad_alloc();
  void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) ::munmap(raw, aligned - start);
  const std::uintptr_t tail = aligned + size;
  if (start + padded > tail) ::munmap(reinterpret_cast<void*>(tail), start + padded - tail);
  void* block = reinterpret_cast<void*>(aligned);
  ::madvise(block, size, MADV_HUGEPAGE);  // advice only: without it the memory still works
  return block;
}

void deallocate(void* p, std::size_t bytes) noexcept {
  if (bytes < kThreshold) {
    std::free(p);
  } else {
    ::munmap(p, mapped_size(bytes));
  }
}

}  // namespace big_memory
