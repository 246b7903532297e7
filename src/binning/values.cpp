#include "binning/values.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <utility>

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

FaultAhead::FaultAhead(std::vector<double*> arrays, std::size_t capacity)
    : arrays_(std::move(arrays)), capacity_(capacity) {
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    // No thread (its stack may not fit under an address-space limit): the writer's own page
    // faults do the same work.
  }
}

FaultAhead::~FaultAhead() {
  if (!thread_.joinable()) return;
  stop_ = true;
  ++written_;  // any change wakes the thread
  written_.notify_one();
  thread_.join();
}

void FaultAhead::advance(std::size_t elements) {
  written_ = elements;
  written_.notify_one();
}

void FaultAhead::run() {
  // Far enough ahead that the writer never waits for a page, near enough that an array
  // ends with at most this much mapped beyond what it holds.
  constexpr std::size_t kAhead = (std::size_t{4} << 20) / sizeof(double);
  constexpr std::uintptr_t kPage = 4096;
  for (std::size_t ready = 0; ready < capacity_;) {
    const std::size_t seen = written_;
    // Read after written_: a count that the destructor changed always comes with stop_ set.
    if (stop_) return;
    const std::size_t want = std::min(capacity_, seen + kAhead);
    if (want > ready) {
      for (double* array : arrays_) {
        const auto from = reinterpret_cast<std::uintptr_t>(array + ready) & ~(kPage - 1);
        const auto to = reinterpret_cast<std::uintptr_t>(array + want);
        if (::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) != 0) return;
      }
      ready = want;
    }
    written_.wait(seen);
  }
}
