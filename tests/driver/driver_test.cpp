#include <gtest/gtest.h>

#include <optional>

#include "driver/bin_count.h"
#include "driver/histogram_job.h"

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
  EXPECT_EQ(job.series.at(6).index, 6);
  EXPECT_THROW(job.series.at(7), std::out_of_range);
  // The prefix is joined as given: no separator, no directory made.
  EXPECT_EQ(HistogramJob("in.txt", 1, "f", "out/a").output_names[6], "out/aN_leaching.jpg");
}

TEST(BinCount, ReadsLikeAtoiAndRefusesWhatHasNoSoundWalk) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"10", 10}, {"  12", 12}, {"7x", 7},  {"+5", 5}, {"1", 1},      {"10000", 10000},
      {"0", {}},  {"abc", {}},  {"-4", {}}, {"", {}},  {"10001", {}}, {"99999999999", {}}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_bin_count(text), expected) << text;
}
