// One field of arbitrary bytes, parsed as the reader parses it, held to strtod (also the short
// parse in place, with the bytes that follow the field being digits).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_checks.h"
#include "reference.h"

using namespace histchart;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string field(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(reference_parse(field, '7').empty());
  return 0;
}
