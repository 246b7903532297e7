#include "driver/histogram_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include <unistd.h>

using namespace histchart;

namespace {

std::atomic<bool> fail_next_allocation{false};  // armed: the next operator new fails once

}  // namespace

void* operator new(std::size_t size) {
  void* p = fail_next_allocation.exchange(false) ? nullptr : std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
// The memory comes from malloc above, which GCC cannot see from here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

TEST(HistogramJob, NamesTitlesAndOutputFiles) {
  const HistogramJob job("in.txt", 10, "font.ttf", "run7_");
  std::string titles, names;
  for (const Series& s : job.series) titles += s.title + "|";
  for (const std::string& name : job.output_names) names += name + " ";
  EXPECT_EQ(titles,
            "dSOC ( kg C/ha )|CH4 ( kg C/ha )|N2O ( kg N/ha )|NO ( kg N/ha )|"
            "N2 ( kg N/ha )|NH3 ( kg N/ha )|N_leaching ( kg N/ha per year )|");
  EXPECT_EQ(names,
            "run7_dSOC.jpg run7_CH4.jpg run7_N2O.jpg run7_NO.jpg run7_N2.jpg "
            "run7_NH3.jpg run7_N_leaching.jpg ");
  EXPECT_EQ(job.series[6].index, 6);
}

TEST(HistogramJob, RunPrintsEachChartsTextLinesThenItsFailureInChartOrder) {
  // No font, and CH4 and N2 cannot take their names, which are directories. One bin: the
  // title, "Count" and six count labels a chart, each failing twice (measured, then drawn),
  // whichever process drew the chart.
  const auto dir =
      std::filesystem::temp_directory_path() / ("histchart-order-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "CH4.jpg");
  std::filesystem::create_directories(dir / "N2.jpg");
  for (const int cpus : {1, 7}) {
    HistogramJob job(HISTCHART_EXAMPLE, 1, "/nonexistent.ttf", dir.string() + "/");
    job.cpus = cpus;
    testing::internal::CaptureStderr();
    job.run();
    const std::string out = testing::internal::GetCapturedStderr();
    std::string expected =
        "histchart: cannot use font '/nonexistent.ttf': No such file or directory; the charts "
        "are drawn without text\n";
    for (int i = 0; i < 7; ++i) {
      for (int k = 0; k < 16; ++k) expected += "draw_text() error: Could not find/open font\n";
      if (i == 1 || i == 4)
        expected += "histchart: cannot write chart '" + job.output_names[i] + "': Is a directory\n";
    }
    EXPECT_EQ(out, expected) << cpus;
    EXPECT_FALSE(job.failure);
  }
  // Memory that runs out around the charts, not in one: none is known written, each is said
  // unwritten (status 3).
  HistogramJob job(HISTCHART_EXAMPLE, 1, HISTCHART_FONT, dir.string() + "/");
  job.read_data();
  job.make_bins();
  fail_next_allocation = true;
  job.draw_histograms();
  ASSERT_EQ(job.chart_outcomes.size(), 7u);
  for (int i = 0; i < 7; ++i) {
    const MaybeFailure& failure = job.chart_outcomes[i].failure;
    EXPECT_EQ(failure ? failure->line() + " " + std::to_string(failure->status) : "written",
              "histchart: out of memory drawing '" + job.output_names[i] +
                  "': the chart does not fit in memory 3");
  }
  std::filesystem::remove_all(dir);
}
