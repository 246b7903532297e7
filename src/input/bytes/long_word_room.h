// Room for a word longer than a read buffer.
//
// A word needs all of its bytes at once, so a table with a long enough word cannot be read at
// all (it does not fit). The room is a fixed size, lent to one buffer at a time: whether a word
// fits then never depends on how many threads read, nor on what they hold.
#pragma once

#include <cstddef>
#include <mutex>

namespace histchart {

class LongWordRoom {
 public:
  explicit LongWordRoom(std::size_t bytes) : bytes_(bytes) {}
  std::size_t bytes() const { return bytes_; }
  void borrow() { lent_.lock(); }
  void give_back() { lent_.unlock(); }

 private:
  std::size_t bytes_;
  std::mutex lent_;
};

}  // namespace histchart
