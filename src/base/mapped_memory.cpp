#include "base/mapped_memory.h"

#include <sys/mman.h>

namespace {
constexpr std::size_t kPage = 4096;
}

MappedMemory::MappedMemory(std::size_t bytes) {
  for (bytes = bytes / kPage * kPage; bytes > 0; bytes = bytes / 2 / kPage * kPage) {
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (block != MAP_FAILED) {
      data_ = block;
      size_ = bytes;
      return;
    }
  }
}

MappedMemory::~MappedMemory() {
  if (data_) ::munmap(data_, size_);
}
