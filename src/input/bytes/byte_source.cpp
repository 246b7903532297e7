#include "input/bytes/byte_source.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <sys/stat.h>

#include "base/files.h"
#include "input/bytes/bzip2_blocks.h"
#include "input/bytes/bzip2_decoder.h"
#include "input/bytes/gzip_decoder.h"
#include "input/bytes/gzip_members.h"
#include "input/bytes/lz4_decoder.h"
#include "input/bytes/side_by_side.h"
#include "input/bytes/table_failure.h"
#include "input/bytes/xz_decoder.h"
#include "input/bytes/zstd_decoder.h"
#include "input/bytes/zstd_frames.h"

namespace histchart {

RawInput::RawInput(int fd, std::string head)
    : fd_(fd), buffer_(std::max(kBuffer, head.size())), end_(head.size()) {
  std::copy(head.begin(), head.end(), buffer_.begin());
  bytes_read_ = head.size();
}

std::string_view RawInput::fill(std::size_t want) {
  if (end_ - start_ < want) {
    // What is left moves to the front, and what is read joins it there.
    std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(start_),
              buffer_.begin() + static_cast<std::ptrdiff_t>(end_), buffer_.begin());
    end_ -= start_;
    start_ = 0;
    while (end_ < want) {
      char* to = buffer_.data() + end_;
      const std::size_t room = buffer_.size() - end_;
      const IoResult got =
          wake_ >= 0 ? read_once_or_wake(fd_, to, room, wake_) : read_once(fd_, to, room);
      if (got.error != 0) cannot_read(std::strerror(got.error));
      if (got.bytes == 0) {
        if (bytes_read_ < size_) throw Failure::table_changed();
        break;
      }
      end_ += got.bytes;
      bytes_read_ += got.bytes;
    }
  }
  return {buffer_.data() + start_, end_ - start_};
}

class PlainBytes {
 public:
  std::size_t read(RawInput& in, char* out, std::size_t size) {
    const std::string_view got = in.fill();
    const std::size_t n = std::min(size, got.size());
    std::memcpy(out, got.data(), n);
    in.consume(n);
    return n;
  }
};

ByteSource::ByteSource(int fd, Compression format, std::string head, DecodingThreads decoding) try
    : input_(fd, std::move(head)), format_(format) {
  // A regular file of independent parts is decoded on several threads, from its start; the list
  // of its parts comes out of what the decoding may take. Where that list cannot be made (not
  // even its memory had), one decoder reads it.
  struct stat info {};
  const bool regular_from_start =
      input_.bytes_read() == 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const int threads = regular_from_start ? decoding.beside(kPartsCost) : 1;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (regular_from_start) input_.expect_size(size);
  auto side_by_side = [&](auto parts) {
    if (threads < 2) return;
    try {
      side_by_side_ = parts(fd, size, threads);
    } catch (...) {
      side_by_side_.reset();
    }
  };
  switch (format) {
    case Compression::none:
      decoder_ = std::make_unique<PlainBytes>();
      break;
    case Compression::gzip:
      side_by_side(gzip_members);
      decoder_ = std::make_unique<GzipBytes>();
      break;
    case Compression::zstd:
      side_by_side(zstd_frames);
      decoder_ = std::make_unique<ZstdBytes>(decoding.window);
      break;
    case Compression::lz4:
      decoder_ = std::make_unique<Lz4Bytes>();
      break;
    case Compression::xz:
    case Compression::lzma:
      decoder_ = std::make_unique<XzBytes>(decoding.beside(0), format == Compression::lzma,
                                           decoding.window);
      break;
    case Compression::bzip2:
      side_by_side(bzip2_blocks);
      decoder_ = std::make_unique<Bzip2Bytes>();
      break;
  }
} catch (const std::bad_alloc&) {
  // The read buffer, or the decoder's state.
  if (format != Compression::none) decoder_does_not_fit(name_of(format));
}

ByteSource::ByteSource(ByteSource&&) noexcept = default;
ByteSource& ByteSource::operator=(ByteSource&&) noexcept = default;
ByteSource::~ByteSource() = default;

void ByteSource::buffers_do_not_fit() const {
  if (format_ == Compression::none) does_not_fit();
  decoder_does_not_fit(name_of(format_));
}

std::uint64_t ByteSource::file_bytes_read() const {
  return side_by_side_ ? side_by_side_->file_bytes_read() : input_.bytes_read();
}

std::size_t ByteSource::read(char* out, std::size_t size) {
  if (side_by_side_) {
    try {
      const std::size_t got = side_by_side_->read(out, size);
      handed_on_ += got;
      return got;
    } catch (...) {
      // One decoder in order says what is wrong (a part may also have been told apart
      // wrongly, or the threads' memory have run out): it reads the file again from its
      // start, past what was handed on.
      side_by_side_.reset();
      for (std::uint64_t skip = handed_on_; skip > 0;) {
        const std::size_t got =
            read(out, static_cast<std::size_t>(std::min<std::uint64_t>(size, skip)));
        if (got == 0) break;
        skip -= got;
      }
    }
  }
  return std::visit([&](auto& decoder) { return decoder->read(input_, out, size); }, decoder_);
}

}  // namespace histchart
