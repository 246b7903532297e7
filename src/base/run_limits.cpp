#include "base/run_limits.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include <sched.h>
#include <sys/resource.h>

namespace histchart {

namespace {

std::string file_text(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of a "Name:   123 kB" line of a /proc file's text, in bytes.
std::optional<std::uint64_t> proc_field(std::string_view text, std::string_view name) {
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) {
    if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 ||
        line[name.size()] != ':')
      continue;
    std::uint64_t kib = 0;
    const char* p = line.data() + name.size() + 1;
    while (*p == ' ' || *p == '\t') ++p;
    if (std::from_chars(p, line.data() + line.size(), kib).ec != std::errc()) return std::nullopt;
    return kib * 1024;
  }
  return std::nullopt;
}

// What a resource limit leaves, given what the process uses of it now.
std::uint64_t left_under(std::optional<std::uint64_t> limit, std::optional<std::uint64_t> used,
                         std::uint64_t bound) {
  if (!limit) return bound;
  const std::uint64_t in_use = used.value_or(0);
  return std::min(bound, *limit > in_use ? *limit - in_use : 0);
}

// The numbers a cgroup file starts with; nothing for "max" or -1 (no limit) or a missing file.
std::vector<std::uint64_t> numbers_in(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::uint64_t> numbers;
  for (std::int64_t n; in >> n && n >= 0;) numbers.push_back(static_cast<std::uint64_t>(n));
  return numbers;
}

// Whether a comma-separated list of cgroup controllers ("cpu,cpuacct") names `controller`.
bool names(std::string_view controllers, std::string_view controller) {
  for (std::size_t start = 0; start <= controllers.size();) {
    const std::size_t comma = std::min(controllers.find(',', start), controllers.size());
    if (controllers.substr(start, comma - start) == controller) return true;
    start = comma + 1;
  }
  return false;
}

// Calls visit(directory, v2) for the process's cgroup of `controller` and every group above it,
// in the unified hierarchy (v2) and in v1's hierarchy of that controller.
template <class Visit>
void for_each_cgroup(const SystemState& state, std::string_view controller, Visit visit) {
  std::istringstream in(state.cgroups);
  for (std::string line; std::getline(in, line);) {
    const std::size_t first = line.find(':'), second = line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const bool v2 = controllers.empty();
    if (!v2 && !names(controllers, controller)) continue;
    // v2 alone is mounted at the root; beside v1 (a hybrid set-up) it is mounted at unified/.
    const bool hybrid =
        v2 && std::ifstream(state.cgroup_root + "/unified/cgroup.controllers").good();
    const std::string root = state.cgroup_root + (hybrid ? "/unified"
                                                  : v2   ? ""
                                                         : "/" + controllers);
    for (std::string path = line.substr(second + 1); !path.empty();
         path.erase(path == "/" ? 0 : std::max<std::size_t>(path.rfind('/'), 1))) {
      visit(root + (path == "/" ? "" : path), v2);
    }
  }
}

std::optional<std::uint64_t> limit_of(int resource) {
  rlimit limit{};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

}  // namespace

SystemState SystemState::of_this_process() {
  SystemState state;
  state.meminfo = file_text("/proc/meminfo");
  state.status = file_text("/proc/self/status");
  state.cgroups = file_text("/proc/self/cgroup");
  state.cgroup_root = "/sys/fs/cgroup";
  state.address_space_limit = limit_of(RLIMIT_AS);
  state.data_limit = limit_of(RLIMIT_DATA);
  state.stack_limit = limit_of(RLIMIT_STACK);
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) state.affinity_cpus = CPU_COUNT(&set);
  return state;
}

std::uint64_t stack_needed(char* const* arguments, char* const* environment) {
  // Under 32 KiB, measured under every kind of table and with 10000 bins.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr std::uint64_t kRunStack = std::uint64_t{1} << 20;  // the sanitizers' frames
#else
  constexpr std::uint64_t kRunStack = std::uint64_t{40} << 10;
#endif
  // The random gap, and the kernel's tables with the program's path, with room to spare.
  constexpr std::uint64_t kAboveEntry = std::uint64_t{12} << 10;
  constexpr std::uint64_t kPage = 4096;
  std::uint64_t needed = kRunStack + kAboveEntry;
  for (char* const* list : {arguments, environment}) {
    for (; list && *list; ++list) needed += std::strlen(*list) + 1 + sizeof(char*);
  }
  return (needed + kPage - 1) / kPage * kPage;
}

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
  } else if (suffix == "T" || suffix == "t") {
    shift = 40;
  } else if (!suffix.empty()) {
    return std::nullopt;
  }
  if (value > (kNoMemoryLimit >> shift)) return std::nullopt;
  return value << shift;
}

std::size_t available_memory(const SystemState& state) {
  std::uint64_t bound = proc_field(state.meminfo, "MemAvailable").value_or(kNoMemoryLimit);
  bound = left_under(state.address_space_limit, proc_field(state.status, "VmSize"), bound);
  bound = left_under(state.data_limit, proc_field(state.status, "VmData"), bound);
  // A batch scheduler or a container limits memory in the cgroups, and the kernel kills a
  // process that exceeds them without a word.
  for_each_cgroup(state, "memory", [&](const std::string& dir, bool v2) {
    const auto limit = numbers_in(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
    const auto used = numbers_in(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
    if (!limit.empty() && !used.empty()) {
      bound = std::min(bound, limit[0] > used[0] ? limit[0] - used[0] : 0);
    }
  });
  return static_cast<std::size_t>(std::min<std::uint64_t>(bound, kNoMemoryLimit));
}

int usable_cpus(const SystemState& state) {
  int cpus = std::max(state.affinity_cpus, 1);
  for_each_cgroup(state, "cpu", [&](const std::string& dir, bool v2) {
    // v2: "QUOTA PERIOD" ("max PERIOD" without one); v1: the quota (-1 without) and the period
    // in files of their own.
    const auto quota = numbers_in(dir + (v2 ? "/cpu.max" : "/cpu.cfs_quota_us"));
    const auto period = v2 ? quota : numbers_in(dir + "/cpu.cfs_period_us");
    const std::size_t at = v2 ? 1 : 0;
    if (quota.empty() || period.size() <= at || period[at] == 0) return;
    const auto cores = static_cast<int>((quota[0] + period[at] - 1) / period[at]);
    cpus = std::min(cpus, std::max(cores, 1));
  });
  return cpus;
}

}  // namespace histchart
