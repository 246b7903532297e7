#include "input/bytes/block_stream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "input/bytes/table_failure.h"
#include "input/records/table_scanner.h"

namespace histchart {

BlockStream::BlockStream(ByteSource source, int ahead, std::size_t block)
    : source_(std::move(source)), ahead_(ahead), block_(block) {
  source_.wake_on(wake_.fd());
  thread_.start([this] { produce(); });
}

BlockStream::~BlockStream() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  wake_.notify();
  thread_.join();
}

std::unique_ptr<Block> BlockStream::next() {
  std::unique_lock lock(mutex_);
  if (!thread_.started()) {
    // No thread reads ahead: this one reads the block it asks for.
    if (ready_.empty() && !done_) {
      try {
        if (!produce_one(lock)) done_ = true;
      } catch (...) {
        failure_ = std::current_exception();
        done_ = true;
      }
    }
  } else {
    changed_.wait(lock, [&] { return !ready_.empty() || done_; });
  }
  if (!ready_.empty()) {
    auto block = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return block;
  }
  if (failure_) std::rethrow_exception(failure_);
  return nullptr;
}

void BlockStream::recycle(std::unique_ptr<Block> block) {
  {
    std::lock_guard lock(mutex_);
    free_.push_back(std::move(block));
    --in_flight_;
  }
  changed_.notify_all();
}

void BlockStream::produce() {
  std::unique_lock lock(mutex_);
  try {
    for (;;) {
      changed_.wait(lock, [&] { return stop_ || in_flight_ < ahead_; });
      if (stop_ || !produce_one(lock)) break;
      changed_.notify_all();
    }
  } catch (...) {
    failure_ = std::current_exception();
  }
  done_ = true;
  changed_.notify_all();
}

bool BlockStream::produce_one(std::unique_lock<std::mutex>& lock) {
  if (done_) return false;
  std::unique_ptr<Block> block;
  if (!free_.empty()) {
    block = std::move(free_.front());
    free_.pop_front();
  }
  ++in_flight_;
  lock.unlock();
  try {
    if (!checked_) check_first_bytes();
    try {
      if (!block) block = std::make_unique<Block>();
      block->bytes.resize(block_);
    } catch (const std::bad_alloc&) {
      source_.buffers_do_not_fit();
    }
    fill(*block);
  } catch (...) {
    lock.lock();
    --in_flight_;
    throw;
  }
  lock.lock();
  const bool last = block->last;
  ready_.push_back(std::move(block));
  if (last) done_ = true;
  return true;
}

void BlockStream::check_first_bytes() {
  // The first bytes are checked before any block is handed over.
  carry_.resize(kTextCheckBytes);
  std::size_t have = 0;
  for (std::size_t got = 1; have < carry_.size() && got > 0; have += got) {
    got = source_.read(carry_.data() + have, carry_.size() - have);
    file_bytes_read_ = source_.file_bytes_read();
  }
  carry_.resize(have);
  check_text({carry_.data(), carry_.size()});
  checked_ = true;
}

void BlockStream::fill(Block& block) {
  std::vector<char>& bytes = block.bytes;
  // What was carried over comes first, then the source.
  std::size_t size = std::min(carry_.size(), bytes.size());
  std::copy_n(carry_.begin(), size, bytes.begin());
  carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(size));
  bool end = false;
  while (size < bytes.size() && !end) {
    const std::size_t got = source_.read(bytes.data() + size, bytes.size() - size);
    file_bytes_read_ = source_.file_bytes_read();
    end = got == 0;
    size += got;
  }
  std::size_t cut = size;
  if (!end) {
    const std::string_view view(bytes.data(), size);
    const std::size_t lf = view.rfind('\n');
    cut = lf != std::string_view::npos ? lf + 1 : TableScanner::whole_words(view);
    if (cut == 0) cut = size;
  }
  carry_.insert(carry_.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut),
                bytes.begin() + static_cast<std::ptrdiff_t>(size));
  block.size = cut;
  block.offset = offset_;
  block.last = end;
  offset_ += cut;
}

std::string_view StreamTail::bytes(const Block& block, std::uint64_t from, std::uint64_t to) {
  const std::string_view in_block = block.view().substr(0, to - block.offset);
  if (from >= block.offset) return in_block.substr(from - block.offset);
  joined_.assign(kept_, from - kept_offset_);
  joined_.append(in_block);
  return joined_;
}

void StreamTail::keep(const Block& block, std::uint64_t offset) {
  const std::uint64_t end = block.offset + block.size;
  std::string rest(bytes(block, std::min(offset, end), end));
  // Its end and its line are not known: a stream is not read twice.
  if (rest.size() > room_) field_too_long(rest.size(), false, std::nullopt);
  kept_.swap(rest);
  kept_offset_ = std::min(offset, end);
}

}  // namespace histchart
