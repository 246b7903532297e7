// What a run may use of the machine: the memory it may hold, which decides whether a table's
// values are kept in memory or the table is read twice, and the cores it may read and draw on.
//
// Both come from what a batch scheduler or a container sets as well as from the machine: the
// process's resource limits, its CPU affinity, and the limits of its cgroup and every group
// above it. The sources are read into SystemState first, so that the rules can be held to
// made-up states.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace histchart {

inline constexpr std::size_t kNoMemoryLimit = SIZE_MAX;

struct SystemState {
  static SystemState of_this_process();

  std::string meminfo;      // the text of /proc/meminfo
  std::string status;       // of /proc/self/status
  std::string cgroups;      // of /proc/self/cgroup
  std::string cgroup_root;  // where the cgroup file systems are mounted: /sys/fs/cgroup
  std::optional<std::uint64_t> address_space_limit;  // ulimit -v, in bytes; none: unlimited
  std::optional<std::uint64_t> data_limit;           // ulimit -d
  std::optional<std::uint64_t> stack_limit;          // ulimit -s
  int affinity_cpus = 1;                             // the CPUs the process may run on
};

// The stack limit (`ulimit -s`) a run needs, in bytes, a multiple of 4 KiB: room for its
// deepest path below the entry point (reading, decompressing, drawing), below what the kernel
// puts at the top of the main thread's stack: the `arguments` and the `environment` (lists
// ended by a null pointer) with their pointers, its own tables, and a gap of up to 8 KiB it
// chooses at random. The same from one run to the next.
std::uint64_t stack_needed(char* const* arguments, char* const* environment);

// A size as HISTCHART_MEMORY gives it: whole bytes with an optional K, M, G or T suffix (powers
// of 1024, either case). Nothing for anything else, or a size beyond size_t.
std::optional<std::size_t> parse_memory_size(std::string_view text);

// The memory the process may still take: MemAvailable, lowered by an address-space or data-size
// limit and by the memory limits of its cgroups, each less what is already used of it.
// kNoMemoryLimit where none of them can be read.
std::size_t available_memory(const SystemState& state);

// The cores the process may use: its affinity, lowered by the CPU quota of its cgroups
// (rounded up to whole cores). At least 1.
int usable_cpus(const SystemState& state);

}  // namespace histchart
