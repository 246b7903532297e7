#include "base/messages.h"

#include <cstdio>
#include <mutex>

namespace {

// Standard error is shared by the message lines and the progress line.
std::mutex terminal;
bool status_shown = false;

constexpr char kEraseLine[] = "\r\x1b[K";

void erase_locked() {
  if (!status_shown) return;
  std::fputs(kEraseLine, stderr);
  status_shown = false;
}

}  // namespace

std::string diagnostic(std::string_view what, std::string_view subject, std::string_view reason) {
  std::string line = "histchart: ";
  line.append(what).append(" '").append(subject).append("': ").append(reason);
  return line;
}

void print_line(std::string_view line) {
  std::lock_guard lock(terminal);
  erase_locked();
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void show_status_line(std::string_view text) {
  std::lock_guard lock(terminal);
  std::fputs(kEraseLine, stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  status_shown = true;
}

void erase_status_line() {
  std::lock_guard lock(terminal);
  erase_locked();
  std::fflush(stderr);
}
