// A table that arrives in order (a pipe, or any compressed table), read and decompressed on a
// thread of its own ahead of the parser, and handed over in blocks.
//
// Each block ends just after a line break, or after white space where a line is longer than a
// block, so that no word is split between two blocks; a word longer than a block makes its
// block grow, within the run's room for words. The thread stays at most a few blocks ahead:
// the slower of reading and parsing sets the pace, and the memory is bounded.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "input/byte_source.h"
#include "input/read_buffer.h"
#include "input/table_scanner.h"

struct Block {
  std::string_view view() const { return {bytes.data(), size}; }

  std::vector<char> bytes;
  std::size_t size = 0;
  std::uint64_t offset = 0;  // of its first byte in the table
  bool last = false;         // the table ends with this block
};

class BlockStream {
 public:
  static constexpr std::size_t kBlock = kReadBuffer;

  // Checks the table's first bytes as check_text does before handing any block over. At most
  // `ahead` blocks are out at a time, handed over or ready, and not yet recycled.
  BlockStream(ByteSource source, const WordRoom& room, int ahead, std::size_t block = kBlock);
  ~BlockStream();
  BlockStream(const BlockStream&) = delete;
  BlockStream& operator=(const BlockStream&) = delete;

  // The next block, in table order; nullptr after the last. Rethrows what stopped the reading
  // (ReadFailure, std::bad_alloc for a word beyond the room).
  std::unique_ptr<Block> next();
  // Hands a block back for reuse once parsed.
  void recycle(std::unique_ptr<Block> block);
  // Bytes read from the file so far (compressed ones for a compressed table).
  std::uint64_t file_bytes_read() const { return file_bytes_read_; }

 private:
  void produce();
  void fill(Block& block);

  ByteSource source_;
  const std::size_t word_room_;
  const int ahead_;
  const std::size_t block_;
  std::vector<char> carry_;  // what followed the last cut
  std::uint64_t offset_ = 0;
  std::atomic<std::uint64_t> file_bytes_read_{0};

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Block>> ready_, free_;
  int in_flight_ = 0;  // blocks made and not yet recycled
  bool done_ = false, stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};
