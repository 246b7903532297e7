// A compressed file made of independent units (zstd frames, bzip2 blocks), decoded on several
// threads at once and handed on in order.
//
// The file is mapped whole; each decoding thread takes the next unit not yet taken, and runs
// at most a few chunks ahead of the reader, so the memory stays bounded. A unit that fails is
// raised where its bytes would come, after all units before it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/failure.h"
#include "base/thread.h"

// A regular file mapped for reading, whole.
class MappedFile {
 public:
  // nullptr where `fd` is no regular file or cannot be mapped.
  static std::unique_ptr<MappedFile> of(int fd);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view bytes() const { return {data_, size_}; }

 private:
  MappedFile(const char* data, std::size_t size) : data_(data), size_(size) {}
  const char* data_;
  std::size_t size_;
};

class SideBySide;

// Where one unit's decoder puts what it decodes.
class UnitSink {
 public:
  // Room for the next decoded bytes; waits while the reader is far behind. Empty once the
  // decoding stops (the reading ended early): the decoder then returns.
  std::span<char> room();
  // Hands on the first `bytes` of the room, decoded from the file up to `file_offset`.
  void hand_on(std::size_t bytes, std::uint64_t file_offset);

 private:
  friend class SideBySide;
  UnitSink(SideBySide& decoding, std::size_t unit) : decoding_(decoding), unit_(unit) {}
  SideBySide& decoding_;
  std::size_t unit_;
  std::vector<char> chunk_;
};

class SideBySide {
 public:
  // Decodes one unit into its sink; raises what stops it.
  using Decode = std::function<void(std::size_t unit, UnitSink& sink)>;

  // Decodes `units` units of `file` with `decode`, on up to `threads` threads; nullptr where
  // fewer than two start.
  static std::unique_ptr<SideBySide> start(std::unique_ptr<MappedFile> file, std::size_t units,
                                           int threads, Decode decode);
  ~SideBySide();
  SideBySide(const SideBySide&) = delete;
  SideBySide& operator=(const SideBySide&) = delete;

  // Fills `out` with up to `size` next bytes, in unit order; 0 at the end. Raises what stopped
  // the decoding of the unit they come from.
  std::size_t read(char* out, std::size_t size);
  // Bytes of the file decoded into what was handed on so far.
  std::uint64_t file_bytes_read() const { return file_bytes_read_; }

 private:
  friend class UnitSink;
  struct Chunk {
    std::vector<char> bytes;
    std::size_t size = 0;
    std::uint64_t file_offset = 0;
  };
  // What has been decoded of one unit and not yet read.
  struct Output {
    std::deque<Chunk> chunks;
    bool done = false;
    MaybeFailure failure;
  };

  SideBySide(std::unique_ptr<MappedFile> file, std::size_t units, Decode decode);
  void decode_units();

  std::unique_ptr<MappedFile> file_;
  Decode decode_;
  std::vector<Thread> threads_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_unit_ = 0;             // to be taken by a thread
  std::vector<Output> outputs_;           // one a unit
  std::vector<std::vector<char>> spare_;  // chunks read, to be used again
  bool stopping_ = false;

  // The reader's own.
  std::size_t reading_ = 0;  // the unit being read
  std::optional<Chunk> current_;
  std::size_t current_at_ = 0;
  std::uint64_t file_bytes_read_ = 0;
};
