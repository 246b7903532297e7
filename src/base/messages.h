// The program's own diagnostics, all in one shape so that scripts and people can read them:
//   histchart: <what went wrong> '<with what>': <reason>
// The texts that users already know ("Unable to open file: ...", "draw_text() error: ...",
// the usage line) keep their historical form and do not go through diagnostic().
//
// Every line the program writes to standard error goes through print_line, which first
// erases a progress line standing on the terminal (see Progress).
#pragma once

#include <string>
#include <string_view>

std::string diagnostic(std::string_view what, std::string_view subject, std::string_view reason);

// Writes one line to standard error.
void print_line(std::string_view line);

// The progress line: drawn in place of the one before, and erased. Only for a terminal.
void show_status_line(std::string_view text);
void erase_status_line();
