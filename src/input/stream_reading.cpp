#include "input/stream_reading.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "base/worker_pool.h"
#include "input/bytes/block_stream.h"
#include "input/bytes/stretch.h"
#include "input/guess_join.h"

namespace histchart {

namespace {

// A block as a worker read it.
struct BlockRead {
  std::unique_ptr<Block> block;
  std::size_t held_from = 0, held_to = 0;  // in the worker's holder
  int worker = 0;
  GuessedReading read;
};

}  // namespace

void read_stream(ReadingState& state, Compression format, std::string first_bytes,
                 std::size_t block_size) {
  const int workers = std::max(state.threads, 1);
  BlockStream stream(ByteSource(state.fd, format, std::move(first_bytes), state.decoding),
                     2 * workers + 2, block_size);
  // A block is handed over only once it is full, which a slow pipe takes seconds to fill; the
  // stream counts every read.
  const Progress::ShownCounter progress(state.progress, stream.file_bytes_counter());
  // A compressed regular file can be decompressed again; a pipe cannot be read twice.
  const Rereadable rereadable = state.regular ? Rereadable::yes : Rereadable::no;
  TableScanner& in_order = state.in_order;
  StreamTail tail(state.room);
  std::vector<RowHolder> holders;
  for (int w = 0; w < workers; ++w) holders.emplace_back(state.arena);
  // What a wrong guess held, dropped once every block is read: later blocks may follow it.
  std::vector<std::vector<std::pair<std::size_t, std::size_t>>> dropped(workers);

  std::optional<std::unique_ptr<Block>> first(stream.next());
  const bool in_parallel = workers > 1 && *first && !(*first)->last;
  run_in_order(
      in_parallel ? workers : 1,
      [&]() -> std::optional<BlockRead> {
        std::unique_ptr<Block> block = first ? std::move(*first) : stream.next();
        first.reset();
        if (!block) return std::nullopt;
        return BlockRead{std::move(block), 0, 0, 0, {}};
      },
      [&](BlockRead& read, int worker) {
        if (!in_parallel) return;  // read in order when it is joined
        const Block& block = *read.block;
        MemoryStretch bytes(block.view(), block.offset, block.last);
        read.worker = worker;
        read.held_from = holders[worker].size();
        guess(bytes, block.offset, holders[worker], read.read, rereadable);
        read.held_to = holders[worker].size();
      },
      [&](BlockRead& read, int worker, bool live) {
        const Block& block = *read.block;
        const std::uint64_t block_end = block.offset + block.size;
        if (live && !in_parallel) {
          MemoryStretch bytes(tail.bytes(block, in_order.offset(), block_end), in_order.offset(),
                              block.last);
          gather(bytes, in_order, holders[0], state.total, rereadable);
          tail.keep(block, in_order.offset());
        } else if (live) {
          // What the join reads goes to the holder of the worker doing it: the one worker that
          // is not also holding a guess at the moment.
          join(
              read.read, in_order, holders[worker], state.total, rereadable,
              [&](std::uint64_t end) {
                end = std::min(end, block_end);
                return MemoryStretch(tail.bytes(block, in_order.offset(), end), in_order.offset(),
                                     block.last && end == block_end);
              },
              [&] { dropped[read.worker].emplace_back(read.held_from, read.held_to); });
          tail.keep(block, in_order.offset());
        }
        stream.recycle(std::move(read.block));
      });
  for (int w = 0; w < workers; ++w) {
    for (const auto& [from, to] : dropped[w]) holders[w].drop(from, to);
    state.holders.push_back(std::move(holders[w]));
  }
}

}  // namespace histchart
