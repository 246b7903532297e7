#include "chart/chart_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

using namespace histchart;

TEST(ChartFile, AFailedCloseLeavesNoChart) {
  // A network file system may report a failed write only when the file is closed: after a
  // good flush, the close fails, and no chart stands under its name, nor a temporary file.
  const auto dir =
      std::filesystem::temp_directory_path() / ("histchart-close-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ChartFile file((dir / "NO.jpg").string());
  ASSERT_FALSE(file.open());
  std::fputs("a chart", file.stream());
  ASSERT_EQ(std::fflush(file.stream()), 0);
  ::close(::fileno(file.stream()));  // the stream's own close then fails
  const MaybeFailure failure = file.commit();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->line(), "histchart: cannot write chart '" + (dir / "NO.jpg").string() +
                                 "': " + std::strerror(EBADF));
  EXPECT_EQ(failure->status, kExitUnwritten);
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  std::filesystem::remove_all(dir);
}
