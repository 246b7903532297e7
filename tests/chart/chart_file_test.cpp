#include "chart/chart_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Failures while writing (missing directory, file size limit) are exercised end to end by
// tests/e2e/hostile.sh, as the program meets them.
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
