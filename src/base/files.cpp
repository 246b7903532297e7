#include "base/files.h"

#include <cerrno>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace histchart {

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

IoResult read_once_or_wake(int fd, char* to, std::size_t size, int wake) {
  pollfd ready[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
  for (;;) {
    const int n = ::poll(ready, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {0, errno};
    if (ready[1].revents != 0) return {0, ECANCELED};
    if (ready[0].revents != 0) return read_once(fd, to, size);
  }
}

Wake::Wake() : fd_(::eventfd(0, EFD_CLOEXEC)) {}

void Wake::notify() {
  if (!valid()) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
}

}  // namespace histchart
