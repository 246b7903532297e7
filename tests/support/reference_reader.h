// A deliberately plain reading of the table rules, to hold the fast reader to: a standard
// input stream, word extraction with >>, atof per field, a character loop over the rest of the
// line, and the last pass taken back unless its eight fields were all there.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using ReferenceColumns = std::vector<std::vector<double>>;

inline ReferenceColumns reference_read(const std::string& text) {
  std::istringstream in(text);
  ReferenceColumns columns(7);
  std::string header;
  for (int i = 0; i < 3; ++i) std::getline(in, header);
  bool complete = false;
  do {
    std::string t[8];
    for (std::string& field : t) in >> field;
    // An eighth field that ends the file still succeeds: only end of file is set.
    complete = !in.fail();
    for (int i = 0; i < 7; ++i) columns[i].push_back(std::atof(t[i + 1].c_str()));
    for (char c; in.get(c) && c != '\n';) {
    }
  } while (!in.fail());
  if (!complete) {
    for (auto& column : columns) column.pop_back();
  }
  return columns;
}
