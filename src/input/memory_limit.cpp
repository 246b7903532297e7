#include "input/memory_limit.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>

#include <sys/resource.h>

namespace {

// The value of a "Name:   123 kB" line of a /proc file, in bytes.
std::optional<std::size_t> proc_field(const char* file, std::string_view name) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 ||
        line[name.size()] != ':')
      continue;
    std::size_t kib = 0;
    const char* p = line.data() + name.size() + 1;
    while (*p == ' ' || *p == '\t') ++p;
    if (std::from_chars(p, line.data() + line.size(), kib).ec != std::errc()) return std::nullopt;
    return kib * 1024;
  }
  return std::nullopt;
}

// What a resource limit leaves, given what the process uses of it now.
std::size_t left_under(int resource, const char* usage_field, std::size_t bound) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return bound;
  const std::size_t used = proc_field("/proc/self/status", usage_field).value_or(0);
  const auto cap = static_cast<std::size_t>(limit.rlim_cur);
  return std::min(bound, cap > used ? cap - used : 0);
}

}  // namespace

std::optional<std::size_t> parse_memory_size(std::string_view text) {
  std::size_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return std::nullopt;
  std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
  int shift = 0;
  if (suffix == "K" || suffix == "k") {
    shift = 10;
  } else if (suffix == "M" || suffix == "m") {
    shift = 20;
  } else if (suffix == "G" || suffix == "g") {
    shift = 30;
  } else if (!suffix.empty()) {
    return std::nullopt;
  }
  if (value > (kNoMemoryLimit >> shift)) return std::nullopt;
  return value << shift;
}

std::size_t available_memory() {
  std::size_t bound = proc_field("/proc/meminfo", "MemAvailable").value_or(kNoMemoryLimit);
  bound = left_under(RLIMIT_AS, "VmSize", bound);
  return left_under(RLIMIT_DATA, "VmData", bound);
}
