// Reading a stretch of the table from a guess, and joining it to the table read so far.
//
// A stretch (a piece of a file, a block of a stream) is read on its own as if a record started
// at a line start a few lines in: past the header lines, with no record open. Records are
// counted by fields, not lines, so the guess can be wrong. Where the stretch really starts is
// known only once the stretch before it is joined; join() then checks the guess.
#pragma once

#include <cstdint>
#include <exception>

#include "input/gathering.h"

namespace histchart {

struct GuessedReading {
  std::uint64_t resume = 0;        // where its own reading started, past its head
  bool resumed_at_record = false;  // with no record open there, as the true reading must be too
  TableScanner scanner;            // where it ended; lines counted from the stretch's start
  Gathered gathered;
  std::exception_ptr failure;   // what stopped it, raised only if it holds
  bool failed_in_head = false;  // the guess may fail (a long word) where the true reading does not
};

// The lines a guess passes over before its own reading starts: its head, which join() reads
// again from the true state. Records split over lines the same way on every line keep the two
// readings apart; past a few lines the others meet.
inline constexpr std::uint64_t kHeadLines = 16;

// Reads the stretch of `stretch` that starts at `begin` from a guess, holding into `holder`.
// A failure is kept in the guess: it counts only if the guess holds.
template <class Stretch>
void guess(Stretch& stretch, std::uint64_t begin, RowHolder& holder, GuessedReading& g,
           Rereadable rereadable) {
  bool in_head = true;
  try {
    g.scanner = TableScanner::at_line_start(begin);
    pass_lines(stretch, g.scanner, [](const TableScanner& s) {
      return s.lines() >= kHeadLines && s.at_record_start();
    });
    g.resume = g.scanner.offset();
    g.resumed_at_record = g.scanner.at_record_start();
    in_head = false;
    gather(stretch, g.scanner, holder, g.gathered, rereadable);
  } catch (...) {
    g.failure = std::current_exception();
    g.failed_in_head = in_head;
  }
}

// Joins a stretch read from a guess to the table read so far: `in_order` is the scanner that
// has read the table in order up to where the stretch starts, and is moved to its end. The head
// is read again from there: where that reading meets the guess at `resume` with no record open,
// the guess holds from there on; else the whole stretch is read again in order, after drop()
// has dropped what the guess held. stretch_to(end) gives the bytes from `in_order` to `end`
// (kToTableEnd: the stretch's end). Raises what stopped the guess where it holds.
template <class StretchTo, class Drop>
void join(GuessedReading& g, TableScanner& in_order, RowHolder& holder, Gathered& total,
          Rereadable rereadable, StretchTo stretch_to, Drop drop) {
  const std::uint64_t lines_before = in_order.lines();
  bool guess_holds = false;
  if (!g.failed_in_head && g.resumed_at_record) {
    TableScanner probe = in_order;
    auto head = stretch_to(g.resume);
    pass_lines(head, probe, [](const TableScanner&) { return false; });
    guess_holds = probe.offset() == g.resume && probe.at_record_start();
  }
  Gathered gathered;
  if (guess_holds) {
    if (g.failure) std::rethrow_exception(g.failure);
    auto head = stretch_to(g.resume);
    gather(head, in_order, holder, gathered, rereadable);
    g.gathered.shift_lines(lines_before);
    g.scanner.shift_lines(lines_before);
    total.merge(std::move(gathered));
    total.merge(std::move(g.gathered));
    in_order = g.scanner;
  } else {
    drop();
    auto all = stretch_to(kToTableEnd);
    gather(all, in_order, holder, gathered, rereadable);
    total.merge(std::move(gathered));
  }
}

}  // namespace histchart
