// The bytes of a file from some offset up to an end, read with pread into a buffer of their
// own, so that several threads read one descriptor at once. A stretch for walk() (stretch.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "input/bytes/long_word_room.h"
#include "input/bytes/stretch.h"

namespace histchart {

inline constexpr std::size_t kReadBuffer = std::size_t{1} << 20;

class FileStretch {
 public:
  // `size`: the file's size when its reading was planned; a file that ends before it was cut
  // short while it was read (Failure::table_changed). `end`: where the stretch ends;
  // kToTableEnd reads on to the end of the file. `progress`, where given, counts the bytes read.
  FileStretch(int fd, std::uint64_t size, std::uint64_t end, LongWordRoom& room,
              std::atomic<std::uint64_t>* progress = nullptr);
  ~FileStretch();
  FileStretch(const FileStretch&) = delete;
  FileStretch& operator=(const FileStretch&) = delete;

  // The bytes from `offset` on: a buffer's worth, or up to the end of the stretch. A call
  // for the offset where the previous view ended inside a word (the scanner took nothing of
  // its last bytes) returns more of the word. Raises the read error, or the word's not fitting
  // in the room for words.
  std::string_view at(std::uint64_t offset);
  bool ends_stretch(std::string_view view) const { return view.data() + view.size() == stop_; }
  bool ends_table(std::string_view view) const { return eof_ && ends_stretch(view); }

 private:
  int fd_;
  std::uint64_t size_planned_;
  std::uint64_t end_;
  LongWordRoom& room_;
  std::vector<char> buffer_;  // made on first use: no larger than the stretch
  std::size_t base_ = 0;      // its size before it grows for a word
  std::uint64_t buffer_offset_ = 0;
  std::size_t size_ = 0;
  const char* stop_ = nullptr;  // the end of the stretch, once it is in the buffer
  bool eof_ = false;
  std::atomic<std::uint64_t>* progress_;
};

}  // namespace histchart
