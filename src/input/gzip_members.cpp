#include "input/gzip_members.h"

#include <isa-l/igzip_lib.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "input/table_failure.h"

namespace {

unsigned byte_at(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

// The size of the member at the start of `bytes` from its "BC" extra subfield; 0 where it
// gives none.
std::size_t member_size(std::string_view bytes) {
  if (bytes.size() < 18 || byte_at(bytes, 0) != 0x1f || byte_at(bytes, 1) != 0x8b ||
      byte_at(bytes, 2) != 8 || (byte_at(bytes, 3) & 0xe4) != 0x04) {
    return 0;
  }
  const std::size_t extra_length = byte_at(bytes, 10) | byte_at(bytes, 11) << 8;
  if (bytes.size() < 12 + extra_length) return 0;
  for (std::size_t at = 12; at + 4 <= 12 + extra_length;) {
    const std::size_t length = byte_at(bytes, at + 2) | byte_at(bytes, at + 3) << 8;
    if (bytes[at] == 'B' && bytes[at + 1] == 'C' && length == 2 && at + 6 <= 12 + extra_length) {
      return (byte_at(bytes, at + 4) | byte_at(bytes, at + 5) << 8) + std::size_t{1};
    }
    at += 4 + length;
  }
  return 0;
}

}  // namespace

std::unique_ptr<SideBySide> gzip_members(int fd, int threads) {
  std::unique_ptr<MappedFile> file = MappedFile::of(fd);
  if (!file) return nullptr;
  const std::string_view bytes = file->bytes();
  std::vector<std::string_view> members;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t size = member_size(bytes.substr(at));
    if (size == 0 || size > bytes.size() - at) return nullptr;
    members.push_back(bytes.substr(at, size));
    at += size;
  }
  if (members.size() < 2) return nullptr;
  const char* start = bytes.data();
  auto decode = [members, start](std::size_t unit, UnitSink& sink) {
    const std::string_view member = members[unit];
    inflate_state state{};
    isal_inflate_init(&state);
    state.crc_flag = ISAL_GZIP;
    state.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(member.data()));
    state.avail_in = static_cast<std::uint32_t>(member.size());
    while (state.block_state != ISAL_BLOCK_FINISH) {
      const std::span<char> room = sink.room();
      if (room.empty()) return;
      state.next_out = reinterpret_cast<std::uint8_t*>(room.data());
      state.avail_out = static_cast<std::uint32_t>(room.size());
      const std::uint32_t before = state.avail_in + state.avail_out;
      if (isal_inflate(&state) != ISAL_DECOMP_OK) damaged("gzip", "invalid deflate data");
      if (state.block_state != ISAL_BLOCK_FINISH && state.avail_in + state.avail_out == before) {
        cut_short("gzip");
      }
      sink.hand_on(
          room.size() - state.avail_out,
          static_cast<std::uint64_t>(member.data() - start) + member.size() - state.avail_in);
    }
    // Bytes left over in a member whose size was given: the header lied.
    if (state.avail_in != 0) damaged("gzip", "invalid gzip header");
  };
  return SideBySide::start(std::move(file), members.size(), threads, decode);
}
