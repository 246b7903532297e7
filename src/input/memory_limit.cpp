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

// The number a cgroup file starts with; nothing for "max" (no limit) or a missing file.
std::optional<std::size_t> number_in(const std::string& file) {
  std::size_t value = 0;
  if (std::ifstream(file) >> value) return value;
  return std::nullopt;
}

// What the memory limits of the process's cgroup and of every group above it leave: a batch
// scheduler or a container sets these, and the kernel kills a process that exceeds them
// without a word. Both the unified hierarchy (v2) and v1's memory controller are read.
std::size_t left_in_cgroups(std::size_t bound) {
  std::ifstream in("/proc/self/cgroup");
  for (std::string line; std::getline(in, line);) {
    const std::size_t first = line.find(':'), second = line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const bool v2 = controllers.empty();
    if (!v2 && controllers != "memory") continue;
    const std::string root = v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
    for (std::string path = line.substr(second + 1); !path.empty();
         path.erase(path == "/" ? 0 : std::max<std::size_t>(path.rfind('/'), 1))) {
      const std::string dir = root + (path == "/" ? "" : path);
      const auto limit = number_in(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
      const auto used = number_in(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
      if (limit && used) bound = std::min(bound, *limit > *used ? *limit - *used : 0);
    }
  }
  return bound;
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
  bound = left_under(RLIMIT_DATA, "VmData", bound);
  return left_in_cgroups(bound);
}
