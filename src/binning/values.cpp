#include "binning/values.h"

#include <cstdlib>

#include <sys/mman.h>

namespace big_memory {

void* allocate(std::size_t bytes) {
  if (bytes < kThreshold) {
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (!p) throw std::bad_alloc();
    return p;
  }
  void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  return block;
}

void deallocate(void* p, std::size_t bytes) noexcept {
  if (bytes < kThreshold) {
    std::free(p);
  } else {
    ::munmap(p, bytes);
  }
}

}  // namespace big_memory
