#include "driver/bin_count.h"

#include <cerrno>
#include <cstdlib>

namespace histchart {

std::optional<int> parse_bin_count(const char* text) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || errno == ERANGE || value < 1 || value > kMaxBinCount) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace histchart
