#include "base/mapped_memory.h"

#include <cstdint>

#include <sys/mman.h>

namespace histchart {

namespace {
constexpr std::size_t kPage = 4096;
#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14; older headers lack it
#endif
}  // namespace

MappedMemory::MappedMemory(std::size_t bytes, std::size_t align) {
  if (align < kPage) align = kPage;
  for (bytes = bytes / align * align; bytes > 0; bytes = bytes / 2 / align * align) {
    // Mapped with room to spare, then cut down to an aligned start: what is cut goes back.
    const std::size_t spare = align - kPage;
    void* block = ::mmap(nullptr, bytes + spare, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (block == MAP_FAILED) continue;
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t start = (at + align - 1) / align * align;
    if (start > at) ::munmap(block, start - at);
    if (const std::size_t tail = at + bytes + spare - (start + bytes); tail > 0) {
      ::munmap(reinterpret_cast<void*>(start + bytes), tail);
    }
    data_ = reinterpret_cast<void*>(start);
    size_ = bytes;
    return;
  }
}

void MappedMemory::prefer_huge_pages() {
  if (data_) ::madvise(data_, size_, MADV_HUGEPAGE);
}

void MappedMemory::populate(void* at, std::size_t bytes) {
  // A failure (an old kernel, or no memory to back the pages now) leaves the faults to come
  // as the pages are written, as without this call.
  ::madvise(at, bytes, MADV_POPULATE_WRITE);
}

MappedMemory::~MappedMemory() {
  if (data_) ::munmap(data_, size_);
}

}  // namespace histchart
