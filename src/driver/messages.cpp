#include "driver/messages.h"

#include <cstdio>

std::string diagnostic(std::string_view what, std::string_view subject, std::string_view reason) {
  std::string line = "histchart: ";
  line.append(what).append(" '").append(subject).append("': ").append(reason);
  return line;
}

void print_line(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}
