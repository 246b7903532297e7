#include "input/records/not_numbers.h"

#include "base/messages.h"

namespace histchart {

std::string not_numbers_line(std::string_view short_name, const NotNumbers& tally) {
  std::string field = printable({tally.first.text.data(), tally.first.size});
  if (tally.first.longer) field += "...";
  return diagnostic("fields read as 0 or their leading number in", short_name,
                    counted(tally.count, "is not a number, '", "are not numbers, the first '") +
                        field + "' on line " + std::to_string(tally.first.line));
}

}  // namespace histchart
