// Holds the fast reader to a deliberately plain reading of the same rules: a standard input
// stream, word extraction with >>, atof per field, a character loop over the rest of the line,
// and the last pass taken back unless its eight fields were all there. Every value must agree
// bit for bit, over the example table, generated tables and randomly mutated ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "input/input_file.h"
#include "support/reference_reader.h"
#include "support/temp_dir.h"

namespace {

ReferenceColumns fast_read(const TempDir& dir, const std::string& text) {
  const std::string path = dir.write("table.txt", text);
  SeriesTable table;
  InputFile(path).read(table);
  ReferenceColumns columns;
  for (const Series& s : table) columns.emplace_back(s.values.begin(), s.values.end());
  return columns;
}

bool bit_identical(const ReferenceColumns& a, const ReferenceColumns& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].size() != b[i].size()) return false;
    if (!a[i].empty() && std::memcmp(a[i].data(), b[i].data(), a[i].size() * sizeof(double)) != 0)
      return false;
  }
  return true;
}

std::string generated_table(std::mt19937_64& rng, int rows) {
  std::normal_distribution<double> normal(0.0, 1.0);
  std::string text = "generated\nseed\nrun dSOC CH4 N2O NO N2 NH3 N_leaching\n";
  char field[40];
  for (int row = 0; row < rows; ++row) {
    text += std::to_string(row);
    for (int i = 0; i < 7; ++i) {
      text += rng() % 4 == 0 ? "\t" : " ";
      const double v = i == 0 ? 150 + 450 * normal(rng) : std::exp(1.5 + normal(rng));
      std::snprintf(field, sizeof field, "%.*f", static_cast<int>(rng() % 6), v);
      text += field;
    }
    text += rng() % 10 == 0 ? "\r\n" : "\n";
  }
  return text;
}

std::string mutated(std::string text, std::mt19937_64& rng) {
  const char* inserts[] = {" ",   "\t",     "\r",    "\n",     "\n\n",  "   \t ", "+1",   "0x1p3",
                           "nan", "-inf",   "1e999", "1e-400", ".5",    "-",      "abc",  "1e",
                           "5.",  "1.5e2x", "\v",    "\f",     "9 9 9", "-0",     "00x1", "1,5"};
  const int edits = 1 + static_cast<int>(rng() % 12);
  for (int e = 0; e < edits && !text.empty(); ++e) {
    const std::size_t at = rng() % text.size();
    switch (rng() % 5) {
      case 0:
        text.erase(at, 1 + rng() % 8);
        break;
      case 1:
        text.insert(at, inserts[rng() % std::size(inserts)]);
        break;
      case 2:
        text.insert(at, 1, '\0');
        break;
      case 3:
        text.resize(at);
        break;
      default:
        text.insert(at, text.substr(rng() % text.size(), rng() % 40));
        break;
    }
  }
  return text;
}

}  // namespace

TEST(Differential, ExampleAndGeneratedTables) {
  TempDir dir;
  std::ifstream example(HISTCHART_EXAMPLE, std::ios::binary);
  const std::string example_text((std::istreambuf_iterator<char>(example)), {});
  ASSERT_FALSE(example_text.empty());
  EXPECT_TRUE(bit_identical(fast_read(dir, example_text), reference_read(example_text)));

  std::mt19937_64 rng(1234);
  for (int rows : {0, 1, 7, 1000, 60000}) {
    const std::string text = generated_table(rng, rows);
    const ReferenceColumns expected = reference_read(text);
    EXPECT_EQ(expected[0].size(), static_cast<std::size_t>(rows));
    EXPECT_TRUE(bit_identical(fast_read(dir, text), expected)) << rows << " rows";
  }
}

TEST(Differential, MutatedTables) {
  TempDir dir;
  std::mt19937_64 rng(99);
  const std::string base = generated_table(rng, 40);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = mutated(base, rng);
    ASSERT_TRUE(bit_identical(fast_read(dir, text), reference_read(text)))
        << "round " << round << "\n"
        << text;
  }
}
