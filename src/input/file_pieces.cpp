#include "input/file_pieces.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "base/files.h"
#include "base/worker_pool.h"
#include "input/bytes/file_stretch.h"
#include "input/bytes/table_failure.h"
#include "input/guess_join.h"

namespace histchart {

namespace {

// Below this a piece costs more in threads and joins than it saves.
constexpr std::uint64_t kMinPiece = std::uint64_t{8} << 20;

// The start of the first line that begins after `from` and before `limit`.
std::optional<std::uint64_t> line_start_after(int fd, std::uint64_t from, std::uint64_t limit) {
  constexpr std::size_t kWindow = std::size_t{64} << 10;
  std::string window(kWindow, '\0');
  for (std::uint64_t at = from; at < limit; at += kWindow) {
    const IoResult got = read_up_to(fd, window.data(), kWindow, at);
    if (got.error != 0) cannot_read(std::strerror(got.error));
    const std::string_view bytes(window.data(), got.bytes);
    if (const std::size_t lf = bytes.find('\n'); lf != std::string_view::npos) {
      return at + lf + 1 < limit ? std::optional(at + lf + 1) : std::nullopt;
    }
    if (got.bytes < kWindow) break;
  }
  return std::nullopt;
}

// Where the pieces of the records [data_start, size) begin: as many pieces as threads, of
// about equal size, each from a line start; or the given starts.
std::vector<std::uint64_t> lay_out(int fd, std::uint64_t data_start, std::uint64_t size,
                                   int threads, const std::vector<std::uint64_t>& given) {
  std::vector<std::uint64_t> starts{data_start};
  if (!given.empty()) {
    for (std::uint64_t start : given) {
      if (start > starts.back() && start < size) starts.push_back(start);
    }
    return starts;
  }
  if (size <= data_start) return starts;
  const std::uint64_t data = size - data_start;
  const auto pieces = std::clamp<std::uint64_t>(data / kMinPiece, 1, std::max(threads, 1));
  for (std::uint64_t i = 1; i < pieces; ++i) {
    const std::uint64_t target = data_start + data * i / pieces;
    const auto start = line_start_after(fd, std::max(target, starts.back()), size);
    if (start && *start > starts.back()) starts.push_back(*start);
  }
  return starts;
}

struct Piece {
  std::uint64_t begin, end;  // end: kToTableEnd for the last piece
  RowHolder holder;
  GuessedReading read;
};

}  // namespace

void read_pieces(ReadingState& state, const std::vector<std::uint64_t>& piece_starts) {
  // The header lines come before any piece.
  {
    FileStretch stretch(state.fd, state.size, kToTableEnd, state.room);
    pass_lines(stretch, state.in_order, [](const TableScanner& s) { return s.past_headers(); });
  }
  const std::vector<std::uint64_t> starts =
      lay_out(state.fd, state.in_order.offset(), state.size, state.threads, piece_starts);
  std::vector<Piece> pieces;
  pieces.reserve(starts.size());
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::uint64_t end = i + 1 == starts.size() ? kToTableEnd : starts[i + 1];
    pieces.push_back({starts[i], end, RowHolder(state.arena), {}});
  }

  std::size_t next = 0;
  run_in_order(
      state.threads,
      [&]() -> std::optional<std::size_t> {
        if (next == pieces.size()) return std::nullopt;
        return next++;
      },
      [&](std::size_t i, int) {
        Piece& piece = pieces[i];
        FileStretch stretch(state.fd, state.size, piece.end, state.room, &state.progress.done);
        // The first piece starts where the header lines end: no guess.
        if (i == 0)
          return gather(stretch, state.in_order, piece.holder, state.total, Rereadable::yes);
        guess(stretch, piece.begin, piece.holder, piece.read, Rereadable::yes);
      },
      [&](std::size_t i, int, bool live) {
        if (i == 0 || !live) return;
        Piece& piece = pieces[i];
        join(
            piece.read, state.in_order, piece.holder, state.total, Rereadable::yes,
            [&](std::uint64_t end) {
              return FileStretch(state.fd, state.size, end == kToTableEnd ? piece.end : end,
                                 state.room);
            },
            [&] { piece.holder.truncate(0); });
      });
  for (Piece& piece : pieces) state.holders.push_back(std::move(piece.holder));
}

}  // namespace histchart
