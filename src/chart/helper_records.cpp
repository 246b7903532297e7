#include "chart/helper_records.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "chart/ending_signals.h"

namespace histchart {

namespace {

class Record {
 public:
  Record& operator<<(std::string_view field) {
    const auto size = static_cast<std::uint32_t>(field.size());
    bytes_.append(reinterpret_cast<const char*>(&size), sizeof size).append(field);
    return *this;
  }
  Record& operator<<(long number) { return *this << std::string_view(std::to_string(number)); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class RecordReader {
 public:
  explicit RecordReader(std::string_view in) : in_(in) {}
  bool take(std::string& field) {
    std::uint32_t size = 0;
    if (in_.size() < sizeof size) return false;
    std::memcpy(&size, in_.data(), sizeof size);
    if (in_.size() - sizeof size < size) return false;
    field.assign(in_.substr(sizeof size, size));
    in_.remove_prefix(sizeof size + size);
    return true;
  }
  bool take(long& number) {
    std::string field;
    if (!take(field)) return false;
    number = std::strtol(field.c_str(), nullptr, 10);
    return true;
  }

 private:
  std::string_view in_;
};

}  // namespace

std::string begin_record(int chart, const std::string& temp_name) {
  Record record;
  record << "begin" << chart << temp_name;
  return record.bytes();
}

std::string end_record(int i, const ChartOutcome& outcome) {
  Record record;
  record << "end" << i << static_cast<long>(outcome.messages.size());
  for (const std::string& line : outcome.messages) record << line;
  record << (outcome.failure ? 1L : 0L);
  if (outcome.failure) {
    const Failure& f = *outcome.failure;
    record << static_cast<long>(f.kind) << f.what << f.subject << f.reason << f.status;
  }
  return record.bytes();
}

void take_records(std::string_view bytes, std::vector<std::optional<ChartOutcome>>& outcomes) {
  RecordReader in(bytes);
  std::vector<std::optional<std::string>> begun(outcomes.size());
  auto index_ok = [&](long i) { return i >= 0 && static_cast<std::size_t>(i) < outcomes.size(); };
  for (std::string kind; in.take(kind);) {
    long i = -1;
    if (!in.take(i) || !index_ok(i)) break;
    if (kind == "begin") {
      std::string temp;
      if (!in.take(temp)) break;
      begun[i] = std::move(temp);
      continue;
    }
    ChartOutcome outcome;
    long count = 0, failed = 0;
    if (!in.take(count)) break;
    outcome.messages.resize(static_cast<std::size_t>(std::max(count, 0L)));
    bool whole = true;
    for (std::string& line : outcome.messages) whole = whole && in.take(line);
    whole = whole && in.take(failed);
    if (whole && failed) {
      Failure f;
      long kind_number = 0, status = 0;
      whole = in.take(kind_number) && in.take(f.what) && in.take(f.subject) && in.take(f.reason) &&
              in.take(status);
      f.kind = static_cast<Failure::Kind>(kind_number);
      f.status = static_cast<int>(status);
      outcome.failure = std::move(f);
    }
    if (!whole) break;
    outcomes[i] = std::move(outcome);
    begun[i].reset();
  }
  for (const std::optional<std::string>& temp : begun) {
    if (temp) remove_temp_file(*temp);
  }
}

}  // namespace histchart
