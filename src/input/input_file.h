// Reads the input table into the seven series (the first phase of a run).
#pragma once

#include <string>

#include "driver/series.h"

class InputFile {
 public:
  explicit InputFile(std::string path) : path(std::move(path)) {}

  // Appends one value per data row to each series (see TableScanner for the record rules).
  // Throws the message text (a std::string) when the table cannot be opened, or cannot be
  // read to its end; values appended before a read error are left as they are.
  bool read(SeriesTable& series);

  std::string path;
  std::string header1;
  std::string header2;
  std::string header3;
};
