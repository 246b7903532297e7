#include "input/bytes/side_by_side.h"

#include <algorithm>
#include <cstring>

#include "base/files.h"
#include "input/bytes/table_failure.h"

namespace histchart {

namespace {

constexpr std::size_t kDecodedBytes = std::size_t{1} << 20;
constexpr std::size_t kDecodedAhead = 4;  // a part's decoded buffers not yet read, at most

}  // namespace

std::string read_part(int fd, std::uint64_t offset, std::size_t size, const char* format) {
  std::string bytes(size, '\0');
  const IoResult got = read_up_to(fd, bytes.data(), size, offset);
  if (got.error != 0) cannot_read(std::strerror(got.error));
  if (got.bytes < size) cut_short(format);
  return bytes;
}

std::span<char> PartSink::room() {
  std::unique_lock lock(decoding_.mutex_);
  decoding_.changed_.wait(lock, [&] {
    return decoding_.stopping_ || decoding_.output(part_).decoded.size() < kDecodedAhead;
  });
  if (decoding_.stopping_) return {};
  if (buffer_.empty() && !decoding_.spare_.empty()) {
    buffer_ = std::move(decoding_.spare_.back());
    decoding_.spare_.pop_back();
  }
  lock.unlock();
  if (buffer_.empty()) buffer_.resize(kDecodedBytes);
  return buffer_;
}

void PartSink::hand_on(std::size_t bytes, std::uint64_t file_offset) {
  {
    std::lock_guard lock(decoding_.mutex_);
    decoding_.output(part_).decoded.push_back({std::move(buffer_), bytes, file_offset});
  }
  buffer_ = {};
  decoding_.changed_.notify_all();
}

std::unique_ptr<SideBySide> SideBySide::start(std::size_t parts, int threads, Decode decode) {
  if (threads < 2) return nullptr;
  std::unique_ptr<SideBySide> decoding(
      new SideBySide(parts, static_cast<std::size_t>(threads), std::move(decode)));
  decoding->threads_.reserve(static_cast<std::size_t>(threads));
  for (int t = 0; t < threads; ++t) {
    Thread thread;
    if (!thread.start([d = decoding.get()] { d->decode_parts(); })) break;
    decoding->threads_.push_back(std::move(thread));
  }
  if (decoding->threads_.size() < 2) return nullptr;
  return decoding;
}

SideBySide::SideBySide(std::size_t parts, std::size_t window, Decode decode)
    : parts_(parts), decode_(std::move(decode)), outputs_(window) {}

SideBySide::~SideBySide() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  threads_.clear();  // joins them
}

void SideBySide::decode_parts() {
  for (;;) {
    std::size_t part = 0;
    {
      // A part is taken once the one that had its output's turn has been read.
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] {
        return stopping_ || next_part_ == parts_ || next_part_ < reading_ + outputs_.size();
      });
      if (stopping_ || next_part_ == parts_) return;
      part = next_part_++;
    }
    std::exception_ptr failure;
    try {
      PartSink sink(*this, part);
      decode_(part, sink);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      Output& out = output(part);
      out.done = true;
      out.failure = failure;
      // The parts after one that failed are never read.
      if (out.failure) next_part_ = parts_;
    }
    changed_.notify_all();
  }
}

std::size_t SideBySide::read(char* out, std::size_t size) {
  while (!current_ || current_at_ == current_->size) {
    std::unique_lock lock(mutex_);
    if (current_) {
      spare_.push_back(std::move(current_->bytes));
      current_.reset();
    }
    if (reading_ == parts_) return 0;
    Output& turn = output(reading_);
    changed_.wait(lock, [&] { return !turn.decoded.empty() || turn.done; });
    if (!turn.decoded.empty()) {
      current_ = std::move(turn.decoded.front());
      turn.decoded.pop_front();
      current_at_ = 0;
      file_bytes_read_ = std::max(file_bytes_read_, current_->file_offset);
    } else {
      if (turn.failure) std::rethrow_exception(turn.failure);
      turn = Output();  // its turn passes to the part `window` on
      ++reading_;
    }
    lock.unlock();
    changed_.notify_all();
  }
  const std::size_t n = std::min(size, current_->size - current_at_);
  std::memcpy(out, current_->bytes.data() + current_at_, n);
  current_at_ += n;
  return n;
}

}  // namespace histchart
