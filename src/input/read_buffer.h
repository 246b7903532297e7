// Memory for reading: what the held values may take, how long one word may grow, and the
// buffer that a stretch of a file streams through.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

// What the run may still hold, shared by every reading thread.
class MemoryBudget {
 public:
  explicit MemoryBudget(std::uint64_t bytes) : left_(bytes) {}
  // Takes as much of `want` as is left.
  std::uint64_t take_up_to(std::uint64_t want);
  std::uint64_t left() const { return left_; }
  void give(std::uint64_t bytes) { left_ += bytes; }

 private:
  std::atomic<std::uint64_t> left_;
};

// Room for a word longer than a read buffer. A word needs all of its bytes at once, so a table
// with a long enough word cannot be read at all (std::bad_alloc, reported as out of memory).
// The room is a fixed size, lent to one buffer at a time: whether a word fits then never
// depends on how many threads read, nor on what they hold.
class WordRoom {
 public:
  explicit WordRoom(std::size_t bytes) : bytes_(bytes) {}
  std::size_t bytes() const { return bytes_; }
  void borrow() { lent_.lock(); }
  void give_back() { lent_.unlock(); }

 private:
  std::size_t bytes_;
  std::mutex lent_;
};

inline constexpr std::size_t kReadBuffer = std::size_t{1} << 20;

// The bytes of a file from some offset up to `end`, read with pread into a buffer of its own,
// so that several threads read one descriptor at once.
class FileChunks {
 public:
  // `end`: where the stretch ends; kToEnd reads on to the end of the file.
  static constexpr std::uint64_t kToEnd = UINT64_MAX;
  // `progress`, where given, counts the bytes read.
  FileChunks(int fd, std::uint64_t end, WordRoom& room,
             std::atomic<std::uint64_t>* progress = nullptr);
  ~FileChunks();
  FileChunks(const FileChunks&) = delete;
  FileChunks& operator=(const FileChunks&) = delete;

  // The bytes from `offset` on: a buffer's worth, or up to the end of the stretch. A call
  // for the offset where the previous view ended inside a word (the scanner took nothing of
  // its last bytes) returns more of the word. Throws ReadFailure on a read error.
  std::string_view at(std::uint64_t offset);
  // Whether `view` (from at()) reaches the end of the stretch.
  bool ends_stretch(std::string_view view) const { return view.data() + view.size() == stop_; }
  // Whether `view` reaches the end of the file.
  bool ends_table(std::string_view view) const { return eof_ && ends_stretch(view); }

 private:
  int fd_;
  std::uint64_t end_;
  WordRoom& room_;
  std::vector<char> buffer_;  // made on first use: no larger than the stretch
  std::size_t base_ = 0;      // its size before it grows for a word
  std::uint64_t buffer_offset_ = 0;
  std::size_t size_ = 0;
  const char* stop_ = nullptr;  // the end of the stretch, once it is in the buffer
  bool eof_ = false;
  std::atomic<std::uint64_t>* progress_;
};
