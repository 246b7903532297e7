#include "chart/chart_processes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "chart/chart_file.h"

using namespace histchart;

namespace {

std::string report(const ChartOutcome& outcome) {
  std::string text;
  for (const std::string& line : outcome.messages) text += line + "|";
  return text + (outcome.failure ? outcome.failure->line() : "written");
}

}  // namespace

TEST(DrawInProcesses, ReportsEveryChartInOrderWhateverBecameOfItsProcess) {
  // Seven charts on four processes: each has its messages, one fails, one's process is killed
  // once its temporary file exists. The outcomes come back in chart order, as one process
  // drawing them one after another would give them, and no temporary file is left.
  const auto dir =
      std::filesystem::temp_directory_path() / ("histchart-helpers-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::vector<std::string> names;
  for (int i = 0; i < 7; ++i) names.push_back((dir / (std::to_string(i) + ".jpg")).string());
  const pid_t parent = ::getpid();
  const std::vector<ChartOutcome> outcomes =
      draw_in_processes(names, 4, [&](int i, const TempFileMade& made) {
        ChartFile file(names[i]);
        if (MaybeFailure failure = file.open()) return ChartOutcome{{}, failure};
        if (made) made(file.temp_name());
        // The killed one must be a helper's: SIGKILL in this process would end the test. This
        // one is slow, so that the helpers take most charts.
        if (::getpid() == parent) ::usleep(50000);
        if (i == 5 && ::getpid() != parent) ::raise(SIGKILL);
        ChartOutcome outcome{{"line " + std::to_string(i)}, file.commit()};
        if (i == 2)
          outcome.failure = Failure{{}, "cannot write chart", names[i], "a slip", kExitUnwritten};
        return outcome;
      });
  ASSERT_EQ(outcomes.size(), 7u);
  EXPECT_EQ(report(outcomes[0]), "line 0|written");
  EXPECT_EQ(report(outcomes[2]), "line 2|histchart: cannot write chart '" + names[2] + "': a slip");
  EXPECT_EQ(outcomes[2].failure->status, kExitUnwritten);
  EXPECT_EQ(report(outcomes[6]), "line 6|written");
  // Chart 5 was drawn here, or by a helper that was killed.
  const std::string died =
      "histchart: cannot write chart '" + names[5] + "': the process drawing it ended unexpectedly";
  EXPECT_TRUE(report(outcomes[5]) == "line 5|written" || report(outcomes[5]) == died)
      << report(outcomes[5]);
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    EXPECT_EQ(entry.path().extension(), ".jpg") << entry.path();
  }
  std::filesystem::remove_all(dir);
}
