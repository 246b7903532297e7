#include "input/bytes/side_by_side.h"

#include <algorithm>
#include <cstring>

#include "base/files.h"
#include "input/bytes/table_failure.h"

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kChunksAhead = 4;  // a part's decoded chunks not yet read, at most

}  // namespace

std::string read_part(int fd, std::uint64_t offset, std::size_t size, const char* format) {
  std::string bytes(size, '\0');
  const IoResult got = read_up_to(fd, bytes.data(), size, offset);
  if (got.error != 0) cannot_read(std::strerror(got.error));
  if (got.bytes < size) cut_short(format);
  return bytes;
}

std::span<char> UnitSink::room() {
  std::unique_lock lock(decoding_.mutex_);
  decoding_.changed_.wait(lock, [&] {
    return decoding_.stopping_ || decoding_.output(unit_).chunks.size() < kChunksAhead;
  });
  if (decoding_.stopping_) return {};
  if (chunk_.empty() && !decoding_.spare_.empty()) {
    chunk_ = std::move(decoding_.spare_.back());
    decoding_.spare_.pop_back();
  }
  lock.unlock();
  if (chunk_.empty()) chunk_.resize(kChunk);
  return chunk_;
}

void UnitSink::hand_on(std::size_t bytes, std::uint64_t file_offset) {
  {
    std::lock_guard lock(decoding_.mutex_);
    decoding_.output(unit_).chunks.push_back({std::move(chunk_), bytes, file_offset});
  }
  chunk_ = {};
  decoding_.changed_.notify_all();
}

std::unique_ptr<SideBySide> SideBySide::start(std::size_t units, int threads, Decode decode) {
  if (threads < 2) return nullptr;
  std::unique_ptr<SideBySide> decoding(
      new SideBySide(units, static_cast<std::size_t>(threads), std::move(decode)));
  decoding->threads_.reserve(static_cast<std::size_t>(threads));
  for (int t = 0; t < threads; ++t) {
    Thread thread;
    if (!thread.start([d = decoding.get()] { d->decode_units(); })) break;
    decoding->threads_.push_back(std::move(thread));
  }
  if (decoding->threads_.size() < 2) return nullptr;
  return decoding;
}

SideBySide::SideBySide(std::size_t units, std::size_t window, Decode decode)
    : units_(units), decode_(std::move(decode)), outputs_(window) {}

SideBySide::~SideBySide() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  threads_.clear();  // joins them
}

void SideBySide::decode_units() {
  for (;;) {
    std::size_t unit = 0;
    {
      // A part is taken once the one that had its output's turn has been read.
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] {
        return stopping_ || next_unit_ == units_ || next_unit_ < reading_ + outputs_.size();
      });
      if (stopping_ || next_unit_ == units_) return;
      unit = next_unit_++;
    }
    std::exception_ptr failure;
    try {
      UnitSink sink(*this, unit);
      decode_(unit, sink);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      Output& out = output(unit);
      out.done = true;
      out.failure = failure;
      // The parts after one that failed are never read.
      if (out.failure) next_unit_ = units_;
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
    if (reading_ == units_) return 0;
    Output& part = output(reading_);
    changed_.wait(lock, [&] { return !part.chunks.empty() || part.done; });
    if (!part.chunks.empty()) {
      current_ = std::move(part.chunks.front());
      part.chunks.pop_front();
      current_at_ = 0;
      file_bytes_read_ = std::max(file_bytes_read_, current_->file_offset);
    } else {
      if (part.failure) std::rethrow_exception(part.failure);
      part = Output();  // its turn passes to the part `window` on
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
