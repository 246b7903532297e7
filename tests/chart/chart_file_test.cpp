#include "chart/chart_file.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <sys/resource.h>

#include "driver/histogram_job.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Two bins in every series, as the binning leaves 0, 1, 2, 3, 4.
void bin(HistogramJob& job) {
  for (Series& s : job.series) {
    s.values = {0, 1, 2, 3, 4};
    s.bins = {Bin(2, 0, 2), Bin(3, 2, 4)};
  }
}

}  // namespace

TEST(ChartFile, AppearsUnderItsNameOnlyWhenCommitted) {
  TempDir dir;
  const std::string name = dir.file("a.jpg");
  {
    ChartFile file(name);
    ASSERT_TRUE(file.open());
    std::fputs("partial", file.stream());
    EXPECT_EQ(names_in(dir.path()).size(), 1u);
    EXPECT_FALSE(fs::exists(name));
  }
  EXPECT_TRUE(names_in(dir.path()).empty());  // abandoned: the temporary file is gone
  ChartFile file(name);
  ASSERT_TRUE(file.open());
  std::fputs("whole", file.stream());
  EXPECT_TRUE(file.commit());
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"a.jpg"});
  EXPECT_EQ(fs::file_size(name), 5u);
}

TEST(DrawHistograms, WritesSevenChartsEvenWithoutAFont) {
  TempDir dir;
  HistogramJob job("in.txt", 2, "/no/such/font.ttf", dir.file("run_"));
  bin(job);
  testing::internal::CaptureStderr();
  job.draw_histograms();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("draw_text() error: "), std::string::npos);
  EXPECT_EQ(job.unwritten_charts, 0);
  EXPECT_EQ(names_in(dir.path()),
            (std::vector<std::string>{"run_CH4.jpg", "run_N2.jpg", "run_N2O.jpg", "run_NH3.jpg",
                                      "run_NO.jpg", "run_N_leaching.jpg", "run_dSOC.jpg"}));
}

TEST(DrawHistograms, ReportsChartsThatCannotBeWritten) {
  TempDir dir;
  HistogramJob job("in.txt", 2, HISTCHART_FONT, dir.file("missing/"));
  bin(job);
  testing::internal::CaptureStderr();
  job.draw_histograms();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(job.unwritten_charts, 7);
  EXPECT_NE(err.find("histchart: cannot write chart '" + dir.file("missing/dSOC.jpg") +
                     "': No such file or directory\n"),
            std::string::npos);
  EXPECT_NE(err.find(dir.file("missing/N_leaching.jpg") + "': "), std::string::npos);
}

TEST(DrawHistograms, AWriteCutShortLeavesNoFileBehind) {
  TempDir dir;
  HistogramJob job("in.txt", 2, HISTCHART_FONT, dir.file("x_"));
  bin(job);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 3000;  // a chart takes several kilobytes
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  testing::internal::CaptureStderr();
  job.draw_histograms();
  const std::string err = testing::internal::GetCapturedStderr();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(job.unwritten_charts, 7);
  EXPECT_NE(
      err.find("histchart: cannot write chart '" + dir.file("x_dSOC.jpg") + "': File too large\n"),
      std::string::npos)
      << err;
  EXPECT_TRUE(names_in(dir.path()).empty());
}
