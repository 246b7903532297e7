// Where a reading cuts the table. A run leaves it to the reading, which lays a plain file out
// in pieces by its size and threads and cuts a stream into blocks of BlockStream::kBlock; a
// check of the reading's paths cuts them wherever a join or a word's end is to be crossed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace histchart {

struct ReadingCuts {
  std::vector<std::uint64_t> piece_starts;  // where a plain file's pieces begin
  std::size_t block_size = 0;               // of a stream's blocks; 0: the default
};

}  // namespace histchart
