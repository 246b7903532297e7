#include "base/messages.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include <unistd.h>

namespace {

// Standard error is shared by the message lines and the progress line.
std::mutex terminal;
// Atomic for the signal handler, which reads it without the lock.
std::atomic<bool> status_shown{false};

constexpr char kEraseLine[] = "\r\x1b[K";

void erase_locked() {
  if (!status_shown) return;
  std::fputs(kEraseLine, stderr);
  status_shown = false;
}

}  // namespace

std::string diagnostic(std::string_view what, std::string_view subject, std::string_view reason) {
  std::string line = "histchart: ";
  line.append(what).append(" '").append(printable(subject)).append("': ").append(reason);
  return line;
}

std::string printable(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x20 || c == 0x7f) {
      constexpr char kHex[] = "0123456789abcdef";
      shown += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    } else {
      shown += byte;
    }
  }
  return shown;
}

std::string counted(std::uint64_t count, std::string_view one, std::string_view many) {
  std::string text = std::to_string(count);
  text.append(" ").append(count == 1 ? one : many);
  return text;
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

void erase_status_line_in_handler() {
  // The stream may be mid-write in the interrupted code: the bytes go around it.
  if (status_shown) (void)!::write(STDERR_FILENO, kEraseLine, sizeof kEraseLine - 1);
}

void erase_status_line() {
  std::lock_guard lock(terminal);
  erase_locked();
  std::fflush(stderr);
}
