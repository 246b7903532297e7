// The bytes of the input table as the parser sees them: read from the file as they stand, or
// decompressed on the way.
//
// A compressed table is recognised by its leading magic bytes, never by its name, so a
// results.txt that is really gzip data reads as what it is, from a regular file or a pipe.
// Every format reads as one stream however it was written: concatenated gzip members (pigz,
// bgzip), several zstd or lz4 frames with skippable frames anywhere among them (pzstd starts
// each frame with one), xz streams or bzip2 streams. A damaged or cut-short stream is an error
// with its reason, never a shorter table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "input/bytes/decoding_threads.h"
#include "input/bytes/table_format.h"

namespace histchart {

// Compressed bytes as they come from the file: `head` first (bytes already read to sniff the
// format), then the descriptor.
class RawInput {
 public:
  // What one read asks for: a regular file is read in these, from its start.
  static constexpr std::size_t kBuffer = std::size_t{256} << 10;

  RawInput(int fd, std::string head);
  // What is buffered and not yet consumed, reading more until it is at least `want` bytes or
  // the file ends: fewer only at the end, empty there. A magic number split between two reads
  // of a pipe is whole here.
  // REQUIRES: want is at most kBuffer.
  std::string_view fill(std::size_t want = 1);
  void consume(std::size_t n) { start_ += n; }
  // A file that ends before `size` bytes were read was cut short while it was read: fill()
  // raises Failure::table_changed there.
  void expect_size(std::uint64_t size) { size_ = size; }
  // Reads give up once `wake` (a Wake's descriptor) is readable; -1: never.
  void wake_on(int wake) { wake_ = wake; }
  std::uint64_t bytes_read() const { return bytes_read_; }

 private:
  int fd_;
  int wake_ = -1;
  std::vector<char> buffer_;
  std::size_t start_ = 0, end_ = 0;
  std::uint64_t bytes_read_ = 0;
  std::uint64_t size_ = 0;
};

class PlainBytes;
class GzipBytes;
class ZstdBytes;
class XzBytes;
class Bzip2Bytes;
class Lz4Bytes;
class SideBySide;

class ByteSource {
 public:
  // Reads from `fd` (which stays the caller's), after the bytes of `head` already read from it,
  // decoding on threads of the decoder's own as far as `decoding` affords and the format allows.
  ByteSource(int fd, Compression format, std::string head, DecodingThreads decoding = {});
  ByteSource(ByteSource&&) noexcept;
  ByteSource& operator=(ByteSource&&) noexcept;
  ~ByteSource();

  // Fills `out` with up to `size` next bytes of the table and returns how many; 0 only at its
  // end. Raises cannot_read when the file cannot be read or its compressed data is damaged or
  // ends too early, an allocation failure where the decoder cannot have its memory, and
  // window_too_large where a zstd frame needs a larger window, or a .lzma stream a larger
  // dictionary, than `decoding` affords.
  std::size_t read(char* out, std::size_t size);
  // Reads give up once `wake` (a Wake's descriptor) is readable.
  void wake_on(int wake) { input_.wake_on(wake); }
  // Bytes taken from the file so far: compressed ones where the table is compressed.
  std::uint64_t file_bytes_read() const;
  // Raises that the buffers the table is read into could not have their memory: for a
  // compressed table, as its decoder's (decoder_does_not_fit); else as the table's not fitting.
  [[noreturn]] void buffers_do_not_fit() const;

 private:
  RawInput input_;
  std::variant<std::unique_ptr<PlainBytes>, std::unique_ptr<GzipBytes>, std::unique_ptr<ZstdBytes>,
               std::unique_ptr<XzBytes>, std::unique_ptr<Bzip2Bytes>, std::unique_ptr<Lz4Bytes>>
      decoder_;
  // In place of the decoder where the file is decoded side by side, until that fails.
  std::unique_ptr<SideBySide> side_by_side_;
  std::uint64_t handed_on_ = 0;
  Compression format_;
};

}  // namespace histchart
