#include "chart/chart_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include <unistd.h>

#include "driver/histogram_job.h"

using namespace histchart;

TEST(WriteChart, WhatFailsOnTheWayEndsThatChartAloneAndLeavesNothing) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("histchart-writer-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string name = (dir / "NO.jpg").string();
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { throw std::bad_alloc(); },
       "histchart: out of memory drawing '" + name + "': the chart does not fit in memory"},
      {[] {
         throw Failure{{}, "", "", "a slip", kExitBadInput};
       },
       "histchart: cannot write chart '" + name + "': a slip"}};
  for (const auto& [text_fails, line] : cases) {
    const ChartRoutines routines{
        [&](gdImagePtr, const char*, int, int, int, double) { text_fails(); },
        HistogramJob::axis_scale};
    const MaybeFailure failure = write_chart(name, {{1, 0.0, 1.0}}, "t", routines);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->line(), line);
    EXPECT_EQ(failure->status, kExitUnwritten);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
  }
  std::filesystem::remove_all(dir);
}
