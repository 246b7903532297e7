#include "input/not_numbers.h"

#include "base/messages.h"

std::string not_numbers_line(std::string_view short_name, const NotNumbers& tally) {
  std::string field;
  for (std::size_t i = 0; i < tally.first.size; ++i) {
    const auto c = static_cast<unsigned char>(tally.first.text[i]);
    if (c < 0x20 || c == 0x7f) {
      constexpr char kHex[] = "0123456789abcdef";
      field += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    } else {
      field += static_cast<char>(c);
    }
  }
  if (tally.first.longer) field += "...";
  return diagnostic("fields read as 0 or their leading number in", short_name,
                    std::to_string(tally.count) + " are not numbers, the first '" + field +
                        "' on line " + std::to_string(tally.first.line));
}
