// A plain table in a regular file, read in pieces on several threads.
//
// The records are cut into pieces of about equal size, each starting just after a line break,
// and each piece is read on its own from a guess (guess_join.h); the pieces are joined in table
// order as soon as the one before is joined.
#pragma once

#include <cstdint>
#include <vector>

#include "input/reading_state.h"

namespace histchart {

// Reads the header lines and then every record of the file. `piece_starts`, where not empty,
// are where the pieces begin, in place of laying them out by size and thread count.
void read_pieces(ReadingState& state, const std::vector<std::uint64_t>& piece_starts);

}  // namespace histchart
