// A compressed file made of independent parts (zstd frames, bzip2 blocks, BGZF members),
// decoded on several threads at once and handed on in order.
//
// Each decoding thread takes the next part not yet taken, reading it from the file itself
// (never through a mapping: a file cut short while it is read then fails like any other
// damage, rather than killing the run), at most one part a thread beyond the one being read,
// and at most a few decoded buffers ahead of the reader within a part: the memory stays bounded. A
// part that fails is raised where its bytes would come, after all parts before it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/thread.h"

namespace histchart {

// At most this many parts are listed (about 64 bytes each); a file of more keeps one decoder.
inline constexpr std::size_t kMostParts = std::size_t{1} << 20;

// The `size` bytes of `fd` at `offset`; raises cut_short(format) where the file holds fewer
// (it shrank since it was measured).
std::string read_part(int fd, std::uint64_t offset, std::size_t size, const char* format);

class SideBySide;

// Where one part's decoder puts what it decodes.
class PartSink {
 public:
  // Room for the next decoded bytes; waits while the reader is far behind. Empty once the
  // decoding stops (the reading ended early): the decoder then returns.
  std::span<char> room();
  // Hands on the first `bytes` of the room, decoded from the file up to `file_offset`.
  void hand_on(std::size_t bytes, std::uint64_t file_offset);

 private:
  friend class SideBySide;
  PartSink(SideBySide& decoding, std::size_t part) : decoding_(decoding), part_(part) {}
  SideBySide& decoding_;
  std::size_t part_;
  std::vector<char> buffer_;
};

class SideBySide {
 public:
  // Decodes one part into its sink; raises what stops it.
  using Decode = std::function<void(std::size_t part, PartSink& sink)>;

  // Decodes `parts` parts with `decode`, on up to `threads` threads; nullptr where fewer than
  // two start.
  static std::unique_ptr<SideBySide> start(std::size_t parts, int threads, Decode decode);
  ~SideBySide();
  SideBySide(const SideBySide&) = delete;
  SideBySide& operator=(const SideBySide&) = delete;

  // Fills `out` with up to `size` next bytes, in part order; 0 at the end. Raises what stopped
  // the decoding of the part they come from.
  std::size_t read(char* out, std::size_t size);
  // Bytes of the file decoded into what was handed on so far.
  std::uint64_t file_bytes_read() const { return file_bytes_read_; }

 private:
  friend class PartSink;
  struct Decoded {
    std::vector<char> bytes;
    std::size_t size = 0;
    std::uint64_t file_offset = 0;
  };
  // What has been decoded of one part being decoded and not yet read; parts in flight take
  // turns at as many outputs as there may be threads.
  struct Output {
    std::deque<Decoded> decoded;
    bool done = false;
    std::exception_ptr failure;
  };

  SideBySide(std::size_t parts, std::size_t window, Decode decode);
  void decode_parts();
  Output& output(std::size_t part) { return outputs_[part % outputs_.size()]; }

  std::size_t parts_;
  Decode decode_;
  std::vector<Thread> threads_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_part_ = 0;             // to be taken by a thread
  std::size_t reading_ = 0;               // the part being read
  std::vector<Output> outputs_;           // of the parts in flight
  std::vector<std::vector<char>> spare_;  // buffers read, to be used again
  bool stopping_ = false;

  // The reader's own.
  std::optional<Decoded> current_;
  std::size_t current_at_ = 0;
  std::uint64_t file_bytes_read_ = 0;
};

}  // namespace histchart
