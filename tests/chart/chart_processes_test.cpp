#include "chart/chart_processes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "chart/chart_file.h"
#include "driver/histogram_job.h"

namespace {

std::string report(const ChartOutcome& outcome) {
  std::string text;
  for (const std::string& line : outcome.messages) text += line + "|";
  return text + (outcome.failure ? outcome.failure->line() : "written");
}

}  // namespace

TEST(DrawInProcesses, ReportsEveryChartInOrderWhateverBecameOfItsProcess) {
  // Seven charts on four processes: one writes its messages, one raises, one has no memory,
  // one's process is killed once its temporary file exists. The outcomes come back in chart
  // order, as one process drawing them one after another would give them, and no temporary
  // file is left.
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
        if (i == 2) throw Failure{Failure::Kind::stated, "", "", "a slip", kExitUnwritten};
        if (i == 3) throw std::bad_alloc();
        ChartOutcome outcome{{"line " + std::to_string(i)}, file.commit()};
        return outcome;
      });
  ASSERT_EQ(outcomes.size(), 7u);
  const std::string chart = "histchart: cannot write chart '" + names[2] + "': a slip";
  EXPECT_EQ(report(outcomes[0]), "line 0|written");
  EXPECT_EQ(report(outcomes[2]), chart);
  EXPECT_EQ(report(outcomes[3]), "histchart: out of memory drawing '" + names[3] +
                                     "': the chart does not fit in memory");
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

TEST(DrawInProcesses, ReportsAChartThatFailsInTheCallingProcessUnwritten) {
  const std::vector<std::string> names{"a.jpg", "b.jpg"};
  const std::vector<ChartOutcome> outcomes =
      draw_in_processes(names, 1, [](int i, const TempFileMade&) -> ChartOutcome {
        if (i == 0) throw Failure{Failure::Kind::stated, "", "", "a slip", kExitBadInput};
        throw std::bad_alloc();
      });
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(report(outcomes[0]), "histchart: cannot write chart 'a.jpg': a slip");
  EXPECT_EQ(report(outcomes[1]),
            "histchart: out of memory drawing 'b.jpg': the chart does not fit in memory");
  for (const ChartOutcome& o : outcomes)
    EXPECT_EQ(o.failure ? o.failure->status : 0, kExitUnwritten);
}

TEST(DrawHistograms, PrintsEachChartsLinesInChartOrderWhicheverProcessDrewIt) {
  // No font: every chart has its messages. CH4 and N2 cannot take their names, which are
  // directories: each one's line follows its messages.
  const auto dir =
      std::filesystem::temp_directory_path() / ("histchart-order-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "CH4.jpg");
  std::filesystem::create_directories(dir / "N2.jpg");
  for (const int cpus : {1, 3, 7}) {
    HistogramJob job("in.txt", 10, "/nonexistent.ttf", dir.string() + "/");
    job.cpus = cpus;
    testing::internal::CaptureStderr();
    job.draw_histograms();
    const std::string out = testing::internal::GetCapturedStderr();
    std::string expected;
    for (int i = 0; i < 7; ++i) {
      for (auto k = (std::count(out.begin(), out.end(), '\n') - 2) / 7; k > 0; --k)
        expected += "draw_text() error: Could not find/open font\n";
      if (i == 1 || i == 4)
        expected += "histchart: cannot write chart '" + job.output_names[i] + "': Is a directory\n";
    }
    EXPECT_EQ(out, expected) << cpus;
    EXPECT_EQ(job.unwritten_charts, 2);
  }
  std::filesystem::remove_all(dir);
}
