// One field of arbitrary bytes, parsed as the reader parses it, held to strtod: the value bit
// for bit and whether the field is a number; also the short parse in place, with the bytes
// that follow the field being digits, as parse_short reads past its end (its number from the
// code it gives the value, where it gives one).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_checks.h"
#include "input/records/parse_value.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string field(reinterpret_cast<const char*>(data), size);
  char* end = nullptr;
  const double want = std::strtod(field.c_str(), &end);
  const bool number = end == field.c_str() + field.size();

  const FieldValue got = parse_value(field.data(), field.data() + field.size());
  FUZZ_CHECK(std::memcmp(&want, &got.value, sizeof want) == 0);
  FUZZ_CHECK(got.number == number);

  if (field.size() <= static_cast<std::size_t>(kShortField)) {
    char bytes[kReadAhead + 8];
    std::memset(bytes, '7', sizeof bytes);
    std::memcpy(bytes, field.data(), field.size());
    const ShortNumber in_place = parse_short(bytes, bytes + field.size());
    const double value = in_place.number();
    FUZZ_CHECK(!in_place.exact || (number && std::memcmp(&want, &value, sizeof want) == 0));
  }
  return 0;
}
