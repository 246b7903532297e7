// Descriptors and the loops around read(2) and write(2) that every reader of a file or a pipe
// needs: retried when a signal interrupts them, and short only at the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace histchart {

// Owns a descriptor and closes it.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~FileDescriptor();
  int get() const { return fd_; }

 private:
  int fd_;
};

// What a read or a write did: the bytes it moved, and errno where it stopped on an error.
struct IoResult {
  std::size_t bytes = 0;
  int error = 0;
};

// One read: at `offset` where given (pread, which leaves the descriptor's offset alone, so
// several threads can read one descriptor), else from where the descriptor stands. As much
// as is there, which for a pipe may be less than `size`; 0 bytes only at the end of the file.
IoResult read_once(int fd, char* to, std::size_t size,
                   std::optional<std::uint64_t> offset = std::nullopt);

// One read from where `fd` stands that gives up (error ECANCELED) once `wake` becomes
// readable: a thread waiting on a pipe whose writer is silent can be told to stop.
IoResult read_once_or_wake(int fd, char* to, std::size_t size, int wake);

// A descriptor that wakes such reads for good once notify() is called; not valid() where none
// could be had (then nothing wakes them).
class Wake {
 public:
  Wake();
  bool valid() const { return fd_.get() >= 0; }
  int fd() const { return fd_.get(); }
  void notify();

 private:
  FileDescriptor fd_;
};

// Reads until `size` bytes are in or the file ends.
IoResult read_up_to(int fd, char* to, std::size_t size,
                    std::optional<std::uint64_t> offset = std::nullopt);

// Writes all of `bytes`.
IoResult write_all(int fd, std::string_view bytes);

}  // namespace histchart
