#include "driver/series.h"

namespace histchart {

namespace {

struct Variable {
  std::string_view short_name;
  std::string_view title;
};

// Index order is also the column order of the input table (fields 2 to 8).
constexpr std::array<Variable, SeriesTable::kSize> kVariables{{
    {"dSOC", "dSOC ( kg C/ha )"},
    {"CH4", "CH4 ( kg C/ha )"},
    {"N2O", "N2O ( kg N/ha )"},
    {"NO", "NO ( kg N/ha )"},
    {"N2", "N2 ( kg N/ha )"},
    {"NH3", "NH3 ( kg N/ha )"},
    {"N_leaching", "N_leaching ( kg N/ha per year )"},
}};

}  // namespace

SeriesTable::SeriesTable() {
  entries_.reserve(kSize);
  for (int i = 0; i < kSize; ++i) entries_.emplace_back(i, std::string(kVariables[i].title));
}

std::string_view SeriesTable::short_name(int index) { return kVariables.at(index).short_name; }

}  // namespace histchart
