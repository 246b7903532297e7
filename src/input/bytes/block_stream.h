// A table that arrives in order (a pipe, or any compressed table), read and decompressed on a
// thread of its own ahead of the parser, and handed over in blocks.
//
// Each block ends just after a line break where it holds one, else after white space, else
// (a line, or a word, longer than a block) anywhere: the in-order reading joins the start of a
// word to the block that follows (see StreamTail). The thread stays at most a few blocks
// ahead: the slower of reading and parsing sets the pace, and the memory is bounded.
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
#include <vector>

#include "base/files.h"
#include "base/thread.h"
#include "input/bytes/byte_source.h"
#include "input/bytes/file_stretch.h"
#include "input/bytes/long_word_room.h"

namespace histchart {

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
  // `ahead` blocks are out at a time, handed over or ready, and not yet recycled. Where no
  // thread can start for the reading, next() reads each block itself.
  BlockStream(ByteSource source, int ahead, std::size_t block = kBlock);
  ~BlockStream();
  BlockStream(const BlockStream&) = delete;
  BlockStream& operator=(const BlockStream&) = delete;

  // The next block, in table order; nullptr after the last. Raises what stopped the reading.
  std::unique_ptr<Block> next();
  // Hands a block back for reuse once parsed.
  void recycle(std::unique_ptr<Block> block);
  // Bytes read from the file so far (compressed ones for a compressed table).
  // The same, kept up to date as each read returns, from the thread that reads.
  const std::atomic<std::uint64_t>& file_bytes_counter() const { return file_bytes_read_; }

 private:
  void produce();
  // Reads the next block: false after the last. Raises what stops the reading.
  bool produce_one(std::unique_lock<std::mutex>& lock);
  void check_first_bytes();
  void fill(Block& block);

  ByteSource source_;
  Wake wake_;  // tells a reading thread waiting on a silent pipe that nobody waits for it
  const int ahead_;
  const std::size_t block_;
  std::vector<char> carry_;  // what followed the last cut
  std::uint64_t offset_ = 0;
  std::atomic<std::uint64_t> file_bytes_read_{0};

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Block>> ready_, free_;
  int in_flight_ = 0;  // blocks made and not yet recycled
  bool checked_ = false, done_ = false, stop_ = false;
  std::exception_ptr failure_;
  Thread thread_;  // last: it starts once everything else is made
};

// The bytes of a stream from where a reading stands, which may lie in blocks already handed
// back: what the reading left of them (the start of a word that goes on) is kept, and joined to
// the block that follows. The kept bytes grow only within the room for words.
class StreamTail {
 public:
  explicit StreamTail(const LongWordRoom& room) : room_(room.bytes()) {}
  // The bytes [from, to), where `to` lies in `block` and `from` in it or in what was kept.
  std::string_view bytes(const Block& block, std::uint64_t from, std::uint64_t to);
  // Keeps the bytes from `offset` to the end of `block`, read up to there.
  void keep(const Block& block, std::uint64_t offset);

 private:
  std::size_t room_;
  std::string kept_;
  std::uint64_t kept_offset_ = 0;
  std::string joined_;
};

}  // namespace histchart
