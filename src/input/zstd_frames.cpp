#include "input/zstd_frames.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>

#include <sys/mman.h>
#include <sys/stat.h>

#include "input/table_failure.h"

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kChunksAhead = 4;  // a thread's decoded chunks not yet read, at most

}  // namespace

std::unique_ptr<ZstdFrames> ZstdFrames::open(int fd, int threads) {
  struct stat info {};
  if (threads < 2 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
    return nullptr;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (map == MAP_FAILED) return nullptr;
  const char* data = static_cast<const char*>(map);
  std::vector<Frame> frames;
  for (std::size_t at = 0; at < size;) {
    const std::size_t frame = ZSTD_findFrameCompressedSize(data + at, size - at);
    if (ZSTD_isError(frame) || (frames.empty() && frame == size)) {
      ::munmap(map, size);
      return nullptr;
    }
    frames.push_back({data + at, frame});
    at += frame;
  }
  std::unique_ptr<ZstdFrames> decoding(new ZstdFrames(data, size, std::move(frames)));
  decoding->threads_.reserve(static_cast<std::size_t>(threads));
  for (int t = 0; t < threads; ++t) {
    Thread thread;
    if (!thread.start([d = decoding.get()] { d->decode(); })) break;
    decoding->threads_.push_back(std::move(thread));
  }
  if (decoding->threads_.size() < 2) return nullptr;
  return decoding;
}

ZstdFrames::ZstdFrames(const char* map, std::size_t map_size, std::vector<Frame> frames)
    : map_(map), map_size_(map_size), frames_(std::move(frames)), outputs_(frames_.size()) {}

ZstdFrames::~ZstdFrames() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  threads_.clear();  // joins them
  ::munmap(const_cast<char*>(map_), map_size_);
}

void ZstdFrames::decode() {
  for (;;) {
    std::size_t index = 0;
    {
      std::lock_guard lock(mutex_);
      if (stopping_ || next_frame_ == frames_.size()) return;
      index = next_frame_++;
    }
    try {
      decode_frame(index);
    } catch (...) {
      std::lock_guard lock(mutex_);
      outputs_[index].failure = Failure::of_current_exception();
      // Frames after a failure are never read.
      next_frame_ = frames_.size();
    }
    {
      std::lock_guard lock(mutex_);
      outputs_[index].done = true;
    }
    changed_.notify_all();
  }
}

void ZstdFrames::decode_frame(std::size_t index) {
  std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), ZSTD_freeDCtx);
  if (!context) does_not_fit();
  ZSTD_inBuffer input{frames_[index].data, frames_[index].size, 0};
  for (std::size_t left = 1; left != 0;) {
    Chunk chunk;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock,
                    [&] { return stopping_ || outputs_[index].chunks.size() < kChunksAhead; });
      if (stopping_) return;
      if (!spare_.empty()) {
        chunk.bytes = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    if (chunk.bytes.empty()) chunk.bytes.resize(kChunk);
    ZSTD_outBuffer output{chunk.bytes.data(), chunk.bytes.size(), 0};
    while (output.pos < output.size && left != 0) {
      left = ZSTD_decompressStream(context.get(), &output, &input);
      if (ZSTD_getErrorCode(left) == ZSTD_error_memory_allocation) does_not_fit();
      if (ZSTD_isError(left)) damaged("zstd", ZSTD_getErrorName(left));
      // The whole frame is in memory: no input left means it was cut short.
      if (left != 0 && input.pos == input.size && output.pos < output.size) cut_short("zstd");
    }
    chunk.size = output.pos;
    chunk.frame_bytes_read = input.pos;
    {
      std::lock_guard lock(mutex_);
      outputs_[index].chunks.push_back(std::move(chunk));
    }
    changed_.notify_all();
  }
}

std::size_t ZstdFrames::read(char* out, std::size_t size) {
  while (!current_ || current_at_ == current_->size) {
    std::unique_lock lock(mutex_);
    if (current_) {
      spare_.push_back(std::move(current_->bytes));
      current_.reset();
    }
    if (reading_ == frames_.size()) return 0;
    Output& output = outputs_[reading_];
    changed_.wait(lock, [&] { return !output.chunks.empty() || output.done; });
    if (!output.chunks.empty()) {
      current_ = std::move(output.chunks.front());
      output.chunks.pop_front();
      current_at_ = 0;
      bytes_done_ =
          static_cast<std::uint64_t>(frames_[reading_].data - map_) + current_->frame_bytes_read;
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
