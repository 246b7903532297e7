#include "input/input_file.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/histogram_job.h"
#include "driver/messages.h"
#include "input/table_scanner.h"

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool InputFile::read(SeriesTable& series) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw "Unable to open file: " + path;
  ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  struct stat info {};
  if (::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode)) {
    // A record takes at least 16 bytes (eight fields and their separators), which bounds the
    // rows. Reserving that much costs address space only and spares the arrays every regrowth
    // and copy. Where the system will not lend that much address space (ulimit -v, strict
    // overcommit), the reservations are given back and the arrays grow as they fill.
    const auto rows = static_cast<std::size_t>(info.st_size) / 16 + 1;
    try {
      for (Series& s : series) s.values.reserve(rows);
    } catch (const std::bad_alloc&) {
      for (Series& s : series) s.values.shrink_to_fit();
    }
  }

  TableScanner scanner(series);
  // One reused buffer: the table streams through it whatever its size. It grows only for a
  // word longer than itself.
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t have = 0;
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data() + have, buffer.size() - have);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw diagnostic("cannot read input table", path, std::strerror(errno));
    }
    have += static_cast<std::size_t>(got);
    if (got == 0) {
      scanner.scan({buffer.data(), have});
      break;
    }
    const std::size_t whole = TableScanner::whole_words({buffer.data(), have});
    if (whole == 0) {
      if (have == buffer.size()) buffer.resize(buffer.size() * 2);
      continue;
    }
    scanner.scan({buffer.data(), whole});
    std::memmove(buffer.data(), buffer.data() + whole, have - whole);
    have -= whole;
  }
  header1 = scanner.headers()[0];
  header2 = scanner.headers()[1];
  header3 = scanner.headers()[2];
  return true;
}

void HistogramJob::read_data() {
  InputFile reader(input_file);
  reader.read(series);
}
