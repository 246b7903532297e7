#include "input/bytes/decoding_threads.h"

#include <algorithm>

namespace histchart {

int DecodingThreads::beside(std::uint64_t other) const {
  if (other >= memory) return 1;
  const auto threads = std::min<std::uint64_t>((memory - other) / kDecoderCost,
                                               static_cast<std::uint64_t>(std::max(most, 1)));
  return threads >= 2 ? static_cast<int>(threads) : 1;
}

}  // namespace histchart
