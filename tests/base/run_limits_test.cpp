#include "base/run_limits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include <unistd.h>

using namespace histchart;

TEST(RunLimits, ReadMemorySizesInEitherCase) {
  constexpr std::size_t M = 1 << 20, G = M << 10, T = G << 10;
  const std::pair<const char*, std::optional<std::size_t>> cases[] = {
      {"0", 0},          {"4096", 4096}, {"64M", 64 * M},     {"64m", 64 * M}, {"2g", 2 * G},
      {"2G", 2 * G},     {"8K", 8192},   {"8k", 8192},        {"3T", 3 * T},   {"3t", 3 * T},
      {"16777216T", {}}, {"", {}},       {"12x", {}},         {"-1", {}},      {" 5", {}},
      {"1.5G", {}},      {"M", {}},      {"99999999999G", {}}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_memory_size(text), expected) << text;
}

TEST(RunLimits, TakeTheLowestOfWhatTheSystemAllows) {
  // A made-up machine: 8 GiB available, and cgroup files under a directory of the test's own.
  const auto root =
      std::filesystem::temp_directory_path() / ("histchart-cgroups-" + std::to_string(::getpid()));
  auto put = [&](const std::string& file, const std::string& text) {
    std::filesystem::create_directories((root / file).parent_path());
    std::ofstream(root / file) << text;
  };
  constexpr std::uint64_t GiB = std::uint64_t{1} << 30, MiB = std::uint64_t{1} << 20;
  put("job/memory.max", "3221225472\n");  // v2: 3 GiB, 1 GiB of it used
  put("job/memory.current", "1073741824\n");
  put("job/step/memory.max", "max\n");
  put("job/step/memory.current", "0\n");
  put("job/cpu.max", "150000 100000\n");                      // v2: one and a half cores
  put("memory/batch/memory.limit_in_bytes", "1073741824\n");  // v1: 1 GiB, 256 MiB used
  put("memory/batch/memory.usage_in_bytes", "268435456\n");
  put("cpu,cpuacct/batch/cpu.cfs_quota_us", "-1\n");  // v1: no quota
  put("cpu,cpuacct/batch/cpu.cfs_period_us", "100000\n");
  put("cpu,cpuacct/quota/cpu.cfs_quota_us", "250000\n");  // v1, co-mounted: two and a half
  put("cpu,cpuacct/quota/cpu.cfs_period_us", "100000\n");
  put("cpu,cpuacct/wide/cpu.cfs_quota_us", "800000\n");  // above the affinity's four
  put("cpu,cpuacct/wide/cpu.cfs_period_us", "100000\n");
  put("hybrid/unified/cgroup.controllers", "memory cpu\n");  // v2 beside v1
  put("hybrid/unified/job/memory.max", "2147483648\n");
  put("hybrid/unified/job/memory.current", "0\n");
  put("hybrid/unified/job/cpu.max", "max 100000\n");
  struct Case {
    const char* what;
    std::string cgroups;
    std::string root;
    std::optional<std::uint64_t> address_space, data;
    std::size_t memory;
    int cpus;
  };
  const Case cases[] = {
      {"nothing but MemAvailable", "0::/\n", "none", {}, {}, 8 * GiB, 4},
      {"ulimit -v less what is mapped", "0::/\n", "none", GiB, {}, GiB - 300 * MiB, 4},
      {"ulimit -d less the data in use", "0::/\n", "none", {}, GiB, GiB - 100 * MiB, 4},
      {"v2: limit less use, and quota", "0::/job/step\n", "", {}, {}, 2 * GiB, 2},
      {"v1", "4:memory:/batch\n2:cpu,cpuacct:/batch\n", "", {}, {}, 768 * MiB, 4},
      {"v1 quota, co-mounted", "2:cpu,cpuacct:/quota\n", "", {}, {}, 8 * GiB, 3},
      {"a quota above the affinity", "2:cpu,cpuacct:/wide\n", "", {}, {}, 8 * GiB, 4},
      {"v2 beside v1", "4:memory:/\n0::/job\n", "/hybrid", {}, {}, 2 * GiB, 4},
  };
  for (const Case& c : cases) {
    SystemState state;
    state.meminfo = "MemTotal:       16000000 kB\nMemAvailable:    8388608 kB\n";
    state.status = "VmSize:\t  307200 kB\nVmData:\t  102400 kB\n";
    state.cgroups = c.cgroups;
    state.cgroup_root = c.root == "none" ? "/nonexistent" : root.string() + c.root;
    state.address_space_limit = c.address_space;
    state.data_limit = c.data;
    state.affinity_cpus = 4;
    EXPECT_EQ(available_memory(state), c.memory) << c.what;
    EXPECT_EQ(usable_cpus(state), c.cpus) << c.what;
  }
  std::filesystem::remove_all(root);
}
