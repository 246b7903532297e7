#include "base/files.h"

#include <cerrno>

#include <unistd.h>

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

IoResult read_once(int fd, char* to, std::size_t size, std::optional<std::uint64_t> offset) {
  for (;;) {
    const ssize_t got =
        offset ? ::pread(fd, to, size, static_cast<off_t>(*offset)) : ::read(fd, to, size);
    if (got >= 0) return {static_cast<std::size_t>(got), 0};
    if (errno != EINTR) return {0, errno};
  }
}

IoResult read_up_to(int fd, char* to, std::size_t size, std::optional<std::uint64_t> offset) {
  IoResult total;
  while (total.bytes < size) {
    const IoResult got = read_once(fd, to + total.bytes, size - total.bytes,
                                   offset ? std::optional(*offset + total.bytes) : std::nullopt);
    total.bytes += got.bytes;
    total.error = got.error;
    if (got.error != 0 || got.bytes == 0) break;
  }
  return total;
}

IoResult write_all(int fd, std::string_view bytes) {
  IoResult total;
  while (total.bytes < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + total.bytes, bytes.size() - total.bytes);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      total.error = put < 0 ? errno : EIO;
      break;
    }
    total.bytes += static_cast<std::size_t>(put);
  }
  return total;
}
