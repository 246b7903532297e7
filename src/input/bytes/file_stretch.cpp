#include "input/bytes/file_stretch.h"

#include <algorithm>
#include <cstring>

#include "base/files.h"
#include "input/bytes/table_failure.h"

namespace histchart {

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Refuses the word at the end of `buffer`, read from `offset` in the file, that the room
// cannot hold: the file is read again around it, only on this way out, for its line (the
// line breaks before it) and its length.
[[noreturn]] void refuse_word(int fd, std::uint64_t offset, const std::vector<char>& buffer) {
  std::uint64_t start = offset + buffer.size();
  while (start > offset && !blank(buffer[start - offset - 1])) --start;
  char chunk[4096];  // off the path a run takes unless it fails: a page at a time will do
  std::uint64_t line = 1, at = 0;
  for (IoResult got;
       at < start &&
       (got = read_once(fd, chunk, std::min<std::uint64_t>(sizeof chunk, start - at), at)).bytes >
           0;) {
    line += static_cast<std::uint64_t>(std::count(chunk, chunk + got.bytes, '\n'));
    at += got.bytes;
  }
  std::uint64_t end = offset + buffer.size();
  bool whole = false;
  for (IoResult got; !whole && (got = read_once(fd, chunk, sizeof chunk, end)).bytes > 0;) {
    const char* stop = std::find_if(chunk, chunk + got.bytes, blank);
    end += static_cast<std::uint64_t>(stop - chunk);
    whole = stop != chunk + got.bytes;
  }
  field_too_long(end - start, true, line);
}

// Grows `buffer` (for a word that fills it) within `room`, which it borrows on the first
// growth; refuses the word (read from `offset` in `fd`) where the room cannot hold it.
void grow_for_word(std::vector<char>& buffer, std::size_t base, LongWordRoom& room, int fd,
                   std::uint64_t offset) {
  const std::size_t size = buffer.size() * 2;
  if (size - base > room.bytes()) refuse_word(fd, offset, buffer);
  if (buffer.size() == base) room.borrow();
  try {
    buffer.resize(size);
  } catch (...) {
    if (buffer.size() == base) room.give_back();
    throw;
  }
}

// Gives the room back once `buffer` holds little again.
void shrink_after_word(std::vector<char>& buffer, std::size_t base, std::size_t in_use,
                       LongWordRoom& room) {
  if (buffer.size() == base || in_use > base / 2) return;
  std::vector<char> smaller(base);
  std::copy_n(buffer.begin(), in_use, smaller.begin());
  buffer.swap(smaller);
  room.give_back();
}

}  // namespace

FileStretch::FileStretch(int fd, std::uint64_t size, std::uint64_t end, LongWordRoom& room,
                         std::atomic<std::uint64_t>* progress)
    : fd_(fd), size_planned_(size), end_(end), room_(room), progress_(progress) {}

FileStretch::~FileStretch() {
  if (buffer_.size() != base_) room_.give_back();
}

std::string_view FileStretch::at(std::uint64_t offset) {
  if (base_ == 0) {
    const auto base =
        static_cast<std::size_t>(std::clamp<std::uint64_t>(end_ - offset, 1, kReadBuffer));
    buffer_.resize(base);
    base_ = base;
  }
  const std::uint64_t buffered_end = buffer_offset_ + size_;
  std::size_t keep = 0;
  if (offset >= buffer_offset_ && offset < buffered_end) {
    keep = static_cast<std::size_t>(buffered_end - offset);
    if (keep == buffer_.size()) grow_for_word(buffer_, base_, room_, fd_, offset);
    std::memmove(buffer_.data(), buffer_.data() + (offset - buffer_offset_), keep);
  }
  shrink_after_word(buffer_, base_, keep, room_);
  buffer_offset_ = offset;
  size_ = keep;
  stop_ = nullptr;
  while (size_ < buffer_.size()) {
    const std::uint64_t at = buffer_offset_ + size_;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size() - size_, end_ - at));
    if (want == 0) {
      stop_ = buffer_.data() + size_;
      break;
    }
    const IoResult got = read_once(fd_, buffer_.data() + size_, want, at);
    if (got.error != 0) cannot_read(std::strerror(got.error));
    if (got.bytes == 0) {
      if (at < size_planned_) throw Failure::table_changed();
      end_ = at;
      eof_ = true;
      stop_ = buffer_.data() + size_;
      break;
    }
    size_ += got.bytes;
    if (progress_) *progress_ += got.bytes;
  }
  return {buffer_.data(), size_};
}

}  // namespace histchart
