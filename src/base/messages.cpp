#include "base/messages.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include <unistd.h>

namespace histchart {

namespace {

// Standard error is shared by the message lines and the progress line.
std::mutex terminal;
// Atomic for the signal handler, which reads it without the lock.
std::atomic<bool> status_shown{false};
// Set by the signal handler: the progress thread runs on while the handler waits for the
// helpers, and must not draw again what the handler erased.
std::atomic<bool> process_ending{false};

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

namespace {

// The length of the well-formed UTF-8 sequence that starts `text`, 0 where none does (the
// ranges of the Unicode standard's table of well-formed sequences: no overlong form, no
// surrogate, nothing beyond U+10FFFF).
std::size_t utf8_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // the second byte's range
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  }
  if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xbf) return 0;
  }
  return length;
}

void append_hex(std::string& shown, unsigned char c) {
  constexpr char kHex[] = "0123456789abcdef";
  shown += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
}

}  // namespace

std::string printable(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text[0]);
    std::size_t length = c < 0x80 ? 1 : utf8_length(text);
    // C1 controls are terminal controls as much as C0 ones (0x9b is CSI): as a lone byte, where
    // a terminal takes 8-bit controls, and as U+0080 to U+009F, where it reads UTF-8.
    const bool control = c < 0x20 || c == 0x7f || (length == 0 && c <= 0x9f) ||
                         (length == 2 && c == 0xc2 && static_cast<unsigned char>(text[1]) <= 0x9f);
    if (length == 0) length = 1;
    for (std::size_t i = 0; i < length; ++i) {
      if (control) {
        append_hex(shown, static_cast<unsigned char>(text[i]));
      } else {
        shown += text[i];
      }
    }
    text.remove_prefix(length);
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
  if (process_ending) return;
  std::fputs(kEraseLine, stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  status_shown = true;
}

void erase_status_line_in_handler() {
  process_ending = true;
  // The stream may be mid-write in the interrupted code: the bytes go around it.
  if (status_shown) (void)!::write(STDERR_FILENO, kEraseLine, sizeof kEraseLine - 1);
}

void erase_status_line() {
  std::lock_guard lock(terminal);
  erase_locked();
  std::fflush(stderr);
}

}  // namespace histchart
