// The program's own diagnostics, all in one shape so that scripts and people can read them:
//   histchart: <what went wrong> '<with what>': <reason>
// The texts that users already know ("Unable to open file: ...", "draw_text() error: ...",
// the usage line) keep their historical form and do not go through diagnostic().
//
// A name in a message (a path, an argument, a field of the table) is the user's text and may
// hold any byte: it is shown through printable(), so that a message stays one line and a
// terminal is told nothing but text.
//
// Every line the program writes to standard error goes through print_line, which first
// erases a progress line standing on the terminal (see Progress).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace histchart {

// The subject is shown through printable().
std::string diagnostic(std::string_view what, std::string_view subject, std::string_view reason);

// `text` with its control characters written as \xHH a byte, in lowercase hex: the bytes below
// 0x20 and 0x7f, the bytes 0x80 to 0x9f that are not part of a UTF-8 sequence, and U+0080 to
// U+009F in UTF-8. Other bytes as they are, UTF-8 or not.
std::string printable(std::string_view text);

// "1 is not a number", "2 are not numbers": the count with the phrase that agrees with it.
std::string counted(std::uint64_t count, std::string_view one, std::string_view many);

// Writes one line to standard error.
void print_line(std::string_view line);

// The progress line: drawn in place of the one before, and erased. Only for a terminal.
void show_status_line(std::string_view text);
void erase_status_line();
// The same from a signal handler, about to end the process: async-signal-safe. No line is shown
// after it.
void erase_status_line_in_handler();

}  // namespace histchart
