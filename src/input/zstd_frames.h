// A zstd file of several frames (pzstd writes them, and so does concatenating zstd outputs),
// decoded on several threads at once and handed on in order.
//
// Frames are independent, and where each one ends is written in its block headers: the file
// is mapped, its frames found, and each decoding thread takes the next frame not yet taken.
// A thread runs at most a few chunks ahead of the reader, so the memory stays bounded. A
// failure inside a frame is raised where that frame's bytes would come, after all before it,
// as one decoder going through the file in order raises it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/failure.h"
#include "base/thread.h"

class ZstdFrames {
 public:
  // The frames of the regular file `fd`, from its start, decoding on up to `threads` threads;
  // nullptr where that would not pay or cannot be: one frame, frames that cannot all be told
  // apart (a damaged or cut-short file, which the stream decoder then reports), or fewer
  // than two threads.
  static std::unique_ptr<ZstdFrames> open(int fd, int threads);
  ~ZstdFrames();
  ZstdFrames(const ZstdFrames&) = delete;
  ZstdFrames& operator=(const ZstdFrames&) = delete;

  // Fills `out` with up to `size` next bytes of the table; 0 at its end. Raises what stopped
  // the decoding of the frame they come from.
  std::size_t read(char* out, std::size_t size);
  // Compressed bytes decoded into what was handed on so far.
  std::uint64_t file_bytes_read() const { return bytes_done_; }

 private:
  struct Frame {
    const char* data;
    std::size_t size;
  };
  struct Chunk {
    std::vector<char> bytes;
    std::size_t size = 0;
    std::size_t frame_bytes_read = 0;  // of the frame's compressed bytes, once it was decoded
  };
  // What has been decoded of one frame and not yet read.
  struct Output {
    std::deque<Chunk> chunks;
    bool done = false;
    MaybeFailure failure;
  };

  ZstdFrames(const char* map, std::size_t map_size, std::vector<Frame> frames);
  void decode();
  void decode_frame(std::size_t index);

  const char* map_;
  std::size_t map_size_;
  std::vector<Frame> frames_;
  std::vector<Thread> threads_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_frame_ = 0;            // to be taken by a thread
  std::vector<Output> outputs_;           // one a frame
  std::vector<std::vector<char>> spare_;  // chunks read, to be used again
  bool stopping_ = false;

  // The reader's own.
  std::size_t reading_ = 0;  // the frame being read
  std::optional<Chunk> current_;
  std::size_t current_at_ = 0;
  std::uint64_t bytes_done_ = 0;
};
