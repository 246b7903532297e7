// What stops a run, or one chart of it: a value that says what failed, with what, why, and
// the exit status it ends the run with. It is carried up to the driver, which alone prints it.
//
// Between modules, and from a chart process to the one that waits for it, a Failure travels as
// a value (a MaybeFailure returned, or one kept in the job). Inside a module it may travel as
// an exception, out of a loop or from one of the module's threads to the thread that waits for
// it (std::exception_ptr), up to the code that catches it and turns it into a value: a value
// never turns back into an exception. Code tells failures apart by their kind, never by their
// text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace histchart {

// The exit statuses, as the README documents them.
inline constexpr int kExitUsage = 1;      // wrong arguments, a refused bin count or memory limit
inline constexpr int kExitBadInput = 2;   // the table cannot be opened or read, does not fit
inline constexpr int kExitUnwritten = 3;  // at least one chart could not be written

struct Failure {
  enum class Kind {
    stated,               // what, subject and reason say it all
    out_of_memory,        // an allocation failed that no code has named yet: the first code that
                          // knows what it was doing names it
    named_out_of_memory,  // an allocation failed, and the code it failed in has named it
    table_changed,        // the table is not what an earlier reading of it found
  };

  // An allocation that failed, somewhere below the code that knows what it was doing.
  static Failure out_of_memory();
  // The failure that the exception being handled stands for: a thrown Failure itself, an
  // allocation failure as out_of_memory(), anything else with its what().
  // REQUIRES: called inside a catch block.
  static Failure of_current_exception();
  // "cannot read input table: it changed while it was read": read twice, the readings differ,
  // or read once, its file ended before the size its reading was planned from. The subject is
  // left to the code that knows the path.
  static Failure table_changed();

  // The line printed for it, without a line break:
  //   histchart: <what> '<subject>': <reason>
  // or `reason` alone where `what` is empty (the texts users already know, "Unable to open
  // file: PATH").
  std::string line() const;
  bool of_memory() const {
    return kind == Kind::out_of_memory || kind == Kind::named_out_of_memory;
  }

  Kind kind = Kind::stated;
  std::string what;
  std::string subject;
  std::string reason;
  int status = kExitBadInput;
};

using MaybeFailure = std::optional<Failure>;

}  // namespace histchart
