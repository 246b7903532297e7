#include "input/bytes/gzip_members.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "input/bytes/table_failure.h"

namespace histchart {

namespace {

struct Member {
  std::uint64_t offset;
  std::size_t size;
};

unsigned byte_at(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

// The size of the member at `at` from its "BC" extra subfield; 0 where it gives none.
std::size_t member_size(int fd, std::uint64_t at, std::uint64_t size) {
  if (size - at < 18) return 0;
  const std::string head = read_part(fd, at, 12, "gzip");
  if (byte_at(head, 0) != 0x1f || byte_at(head, 1) != 0x8b || byte_at(head, 2) != 8 ||
      (byte_at(head, 3) & 0xe4) != 0x04) {
    return 0;
  }
  const std::size_t extra_length = byte_at(head, 10) | byte_at(head, 11) << 8;
  if (size - at < 12 + extra_length) return 0;
  const std::string extra = read_part(fd, at + 12, extra_length, "gzip");
  for (std::size_t k = 0; k + 4 <= extra.size();) {
    const std::size_t length = byte_at(extra, k + 2) | byte_at(extra, k + 3) << 8;
    if (extra[k] == 'B' && extra[k + 1] == 'C' && length == 2 && k + 6 <= extra.size()) {
      return (byte_at(extra, k + 4) | byte_at(extra, k + 5) << 8) + std::size_t{1};
    }
    k += 4 + length;
  }
  return 0;
}

}  // namespace

std::unique_ptr<SideBySide> gzip_members(int fd, std::uint64_t size, int threads) {
  std::vector<Member> members;
  for (std::uint64_t at = 0; at < size;) {
    const std::size_t member = member_size(fd, at, size);
    if (member == 0 || member > size - at || members.size() == kMostParts) return nullptr;
    members.push_back({at, member});
    at += member;
  }
  if (members.size() < 2) return nullptr;
  const std::size_t count = members.size();
  auto decode = [fd, members = std::move(members)](std::size_t part, PartSink& sink) {
    const Member member = members[part];
    std::string bytes = read_part(fd, member.offset, member.size, "gzip");
    // 87 KiB: on the heap, where a thread's stack or a small `ulimit -s` need not hold it.
    const auto owned = std::make_unique<inflate_state>();
    inflate_state& state = *owned;
    isal_inflate_init(&state);
    state.crc_flag = ISAL_GZIP;
    state.next_in = reinterpret_cast<std::uint8_t*>(bytes.data());
    state.avail_in = static_cast<std::uint32_t>(bytes.size());
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
      sink.hand_on(room.size() - state.avail_out, member.offset + member.size - state.avail_in);
    }
    // Bytes left over in a member whose size was given: the header lied.
    if (state.avail_in != 0) damaged("gzip", "invalid gzip header");
  };
  return SideBySide::start(count, threads, decode);
}

}  // namespace histchart
