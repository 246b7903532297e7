#include "input/side_by_side.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>
#include <sys/stat.h>

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kChunksAhead = 4;  // a unit's decoded chunks not yet read, at most

}  // namespace

std::unique_ptr<MappedFile> MappedFile::of(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return nullptr;
  const auto size = static_cast<std::size_t>(info.st_size);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (map == MAP_FAILED) return nullptr;
  return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const char*>(map), size));
}

MappedFile::~MappedFile() { ::munmap(const_cast<char*>(data_), size_); }

std::span<char> UnitSink::room() {
  std::unique_lock lock(decoding_.mutex_);
  decoding_.changed_.wait(lock, [&] {
    return decoding_.stopping_ || decoding_.outputs_[unit_].chunks.size() < kChunksAhead;
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
    decoding_.outputs_[unit_].chunks.push_back({std::move(chunk_), bytes, file_offset});
  }
  chunk_ = {};
  decoding_.changed_.notify_all();
}

std::unique_ptr<SideBySide> SideBySide::start(std::unique_ptr<MappedFile> file, std::size_t units,
                                              int threads, Decode decode) {
  std::unique_ptr<SideBySide> decoding(new SideBySide(std::move(file), units, std::move(decode)));
  decoding->threads_.reserve(static_cast<std::size_t>(std::max(threads, 0)));
  for (int t = 0; t < threads; ++t) {
    Thread thread;
    if (!thread.start([d = decoding.get()] { d->decode_units(); })) break;
    decoding->threads_.push_back(std::move(thread));
  }
  if (decoding->threads_.size() < 2) return nullptr;
  return decoding;
}

SideBySide::SideBySide(std::unique_ptr<MappedFile> file, std::size_t units, Decode decode)
    : file_(std::move(file)), decode_(std::move(decode)), outputs_(units) {}

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
      std::lock_guard lock(mutex_);
      if (stopping_ || next_unit_ == outputs_.size()) return;
      unit = next_unit_++;
    }
    MaybeFailure failure;
    try {
      UnitSink sink(*this, unit);
      decode_(unit, sink);
    } catch (...) {
      failure = Failure::of_current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      outputs_[unit].done = true;
      outputs_[unit].failure = std::move(failure);
      // The units after one that failed are never read.
      if (outputs_[unit].failure) next_unit_ = outputs_.size();
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
    if (reading_ == outputs_.size()) return 0;
    Output& output = outputs_[reading_];
    changed_.wait(lock, [&] { return !output.chunks.empty() || output.done; });
    if (!output.chunks.empty()) {
      current_ = std::move(output.chunks.front());
      output.chunks.pop_front();
      current_at_ = 0;
      file_bytes_read_ = std::max(file_bytes_read_, current_->file_offset);
      lock.unlock();
      changed_.notify_all();
    } else {
      if (output.failure) throw *output.failure;
      ++reading_;
    }
  }
  const std::size_t n = std::min(size, current_->size - current_at_);
  std::memcpy(out, current_->bytes.data() + current_at_, n);
  current_at_ += n;
  return n;
}
