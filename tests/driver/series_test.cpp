#include "driver/series.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "driver/histogram_job.h"

TEST(SeriesTable, HoldsTheSevenVariablesInIndexOrder) {
  const SeriesTable table;
  const char* titles[] = {"dSOC ( kg C/ha )",
                          "CH4 ( kg C/ha )",
                          "N2O ( kg N/ha )",
                          "NO ( kg N/ha )",
                          "N2 ( kg N/ha )",
                          "NH3 ( kg N/ha )",
                          "N_leaching ( kg N/ha per year )"};
  ASSERT_EQ(table.size(), 7);
  int i = 0;
  for (const Series& s : table) {
    EXPECT_EQ(s.index, i);
    EXPECT_EQ(s.title, titles[i]);
    EXPECT_TRUE(s.values.empty());
    EXPECT_TRUE(s.bins.empty());
    ++i;
  }
  EXPECT_EQ(table.at(6).title.size(), 31u);
  EXPECT_THROW(table.at(7), std::out_of_range);
  EXPECT_THROW(table.at(-1), std::out_of_range);
}

TEST(SeriesTable, CopiedSeriesIsIndependent) {
  Series original(2, "N2O ( kg N/ha )");
  original.values = {1.0};
  original.bins.emplace_back(3, 0.5, 1.25);
  Series copy = original;
  copy.values.push_back(2.0);
  copy.bins[0].elements.push_back(0.75);
  EXPECT_EQ(original.values.size(), 1u);
  EXPECT_TRUE(original.bins[0].elements.empty());
  EXPECT_EQ(original.bins[0].count, 3);
  EXPECT_EQ(copy.index, 2);
}

TEST(HistogramJob, BuildsOutputNamesFromThePrefixAsGiven) {
  struct Case {
    const char* prefix;
    const char* first;
    const char* last;
  };
  for (const Case& c :
       {Case{"run7_", "run7_dSOC.jpg", "run7_N_leaching.jpg"},
        Case{"charts/", "charts/dSOC.jpg", "charts/N_leaching.jpg"},
        Case{"", "dSOC.jpg", "N_leaching.jpg"}, Case{"a", "adSOC.jpg", "aN_leaching.jpg"}}) {
    const HistogramJob job("in.txt", 10, "font.ttf", c.prefix);
    ASSERT_EQ(job.output_names.size(), 7u);
    EXPECT_EQ(job.output_names.front(), c.first);
    EXPECT_EQ(job.output_names.back(), c.last);
  }
  const HistogramJob job("in.txt", 10, "font.ttf", "run7_");
  EXPECT_EQ(job.output_names, (std::vector<std::string>{
                                  "run7_dSOC.jpg", "run7_CH4.jpg", "run7_N2O.jpg", "run7_NO.jpg",
                                  "run7_N2.jpg", "run7_NH3.jpg", "run7_N_leaching.jpg"}));
  EXPECT_EQ(job.input_file, "in.txt");
  EXPECT_EQ(job.font_filename, "font.ttf");
  EXPECT_EQ(job.bin_count, 10);
}
