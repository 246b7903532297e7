#include "input/holding/held_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "input/second_reading.h"

using namespace histchart;

TEST(RowHolder, KeepsEveryValueOfARecordInTheChunksItFills) {
  // A chunk's worth of records none of whose values has a code (each kept beside in the chunk,
  // from its far end), then, in the chunks of doubles that follow, a third with one: held until
  // four chunks are full, cut back, a stretch dropped between, held again until full, and handed
  // over; every value comes back bit for bit.
  const double uncoded[] = {0.1 + 0.2, -1e300, std::numeric_limits<double>::infinity(), -0.0};
  RowArena arena(4 * RowArena::kChunkBytes);
  RowHolder holder(arena);
  std::vector<Row> pushed;
  constexpr std::size_t kChunk = RowArena::kChunkBytes, kFirst = kChunk / RowArena::kMostRowBytes;
  auto fill = [&] {
    while (holder.make_room()) {
      Row values, others;
      HeldRow codes;
      for (int i = 0; i < kSeriesCount; ++i) {
        const auto n = static_cast<std::uint64_t>(pushed.size() * kSeriesCount + i);
        const bool coded = pushed.size() > kFirst && n % 3 == 0;
        codes[i] = coded ? value_code::make(n % 2 == 1, static_cast<int>(n % 15),
                                            n % (value_code::kMostDigits + 1))
                         : value_code::kNone;
        values[i] = coded ? value_code::value(codes[i]) : uncoded[n % std::size(uncoded)];
        others[i] = coded ? 0 : values[i];  // as the scanner leaves them
      }
      holder.push(others, codes);
      pushed.push_back(values);
    }
  };
  fill();
  ASSERT_GE(pushed.size(), kFirst - 1 + 3 * (kChunk / sizeof(Row)));
  const std::size_t full = pushed.size(), kept = full - 100000, from = kept / 3, to = kept / 2;
  holder.truncate(kept);
  holder.drop(from, to);
  pushed.resize(kept);
  pushed.erase(pushed.begin() + static_cast<std::ptrdiff_t>(from),
               pushed.begin() + static_cast<std::ptrdiff_t>(to));
  fill();
  // The chunks cut off went back to the arena: filled again, it holds about as much.
  EXPECT_GE(pushed.size() + (to - from), full - full / 20);
  HeldRecords held;
  holder.hand_over(held.chunks);
  std::vector<Row> got;
  ASSERT_FALSE(TableRecords(std::move(held), std::nullopt, "")
                   .for_each(1, [&](int, std::span<const Row> rows) {
                     got.insert(got.end(), rows.begin(), rows.end());
                   }));
  ASSERT_EQ(got.size(), pushed.size());
  EXPECT_EQ(std::memcmp(got.data(), pushed.data(), got.size() * sizeof(Row)), 0);
}
