#include "input/block_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

BlockStream::BlockStream(ByteSource source, const WordRoom& room, int ahead, std::size_t block)
    : source_(std::move(source)), word_room_(room.bytes()), ahead_(ahead), block_(block) {
  thread_ = std::thread([this] { produce(); });
}

BlockStream::~BlockStream() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

std::unique_ptr<Block> BlockStream::next() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !ready_.empty() || done_; });
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
  try {
    // The first bytes are checked before any block is handed over.
    carry_.resize(kTextCheckBytes);
    std::size_t have = 0;
    for (std::size_t got = 1; have < carry_.size() && got > 0; have += got) {
      got = source_.read(carry_.data() + have, carry_.size() - have);
    }
    carry_.resize(have);
    file_bytes_read_ = source_.file_bytes_read();
    check_text({carry_.data(), carry_.size()});
    for (bool last = false; !last;) {
      std::unique_ptr<Block> block;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || in_flight_ < ahead_; });
        if (stop_) return;
        if (!free_.empty()) {
          block = std::move(free_.front());
          free_.pop_front();
        }
        ++in_flight_;
      }
      if (!block) block = std::make_unique<Block>();
      // A block that grew for a long word shrinks back, so that one long word costs its room
      // once, not in every block after it.
      if (block->bytes.size() != block_) std::vector<char>(block_).swap(block->bytes);
      fill(*block);
      last = block->last;
      {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(block));
      }
      changed_.notify_all();
    }
  } catch (...) {
    std::lock_guard lock(mutex_);
    failure_ = std::current_exception();
  }
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
}

void BlockStream::fill(Block& block) {
  std::vector<char>& bytes = block.bytes;
  std::size_t size = 0;
  bool end = false;
  std::size_t cut = 0;
  for (;;) {
    // What was carried over comes first, then the source.
    const std::size_t carried = std::min(carry_.size(), bytes.size() - size);
    std::copy_n(carry_.begin(), carried, bytes.begin() + static_cast<std::ptrdiff_t>(size));
    carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(carried));
    size += carried;
    while (size < bytes.size() && !end) {
      const std::size_t got = source_.read(bytes.data() + size, bytes.size() - size);
      file_bytes_read_ = source_.file_bytes_read();
      end = got == 0;
      size += got;
    }
    if (end) {
      cut = size;
      break;
    }
    const std::string_view view(bytes.data(), size);
    const std::size_t lf = view.rfind('\n');
    cut = lf != std::string_view::npos ? lf + 1 : TableScanner::whole_words(view);
    if (cut > 0) break;
    // One word fills the block: it must be read whole.
    if (bytes.size() * 2 - block_ > word_room_) throw std::bad_alloc();
    bytes.resize(bytes.size() * 2);
  }
  carry_.insert(carry_.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut),
                bytes.begin() + static_cast<std::ptrdiff_t>(size));
  block.size = cut;
  block.offset = offset_;
  block.last = end;
  offset_ += cut;
}
