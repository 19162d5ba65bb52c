#include "core/logs/log_lines.h"

#include <array>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "core/files/block_input.h"

namespace lirrevo {
namespace {

// Small enough that the slots, all three, stay in a processor's cache: with
// blocks of 256 kB the kernel took three times the system time to copy a log
// into them, writing to memory that was not cached.
constexpr std::size_t kBlock = std::size_t{64} << 10;

// The log read on a thread of its own, a block ahead of the scan, so that
// reading (the kernel's copying, or zlib's inflating) and scanning overlap.
class ReadAhead {
 public:
  explicit ReadAhead(BlockInput& reader) : reader_(reader), thread_([this] { Run(); }) {}
  ~ReadAhead() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next block, valid until the next call; empty at the end. False
  // (with why in error) where the log cannot be read.
  bool Next(std::string_view& block, std::string& error) {
    std::unique_lock lock(mutex_);
    if (taken_ > 0) {
      --filled_;  // the block handed out last is free again
      changed_.notify_all();
    }
    changed_.wait(lock, [&] { return filled_ > 0; });
    Slot& slot = slots_[taken_++ % slots_.size()];
    if (slot.got < 0) error = error_;
    block =
        std::string_view(slot.bytes.get(), slot.got > 0 ? static_cast<std::size_t>(slot.got) : 0);
    return slot.got >= 0;
  }

 private:
  struct Slot {
    std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(kBlock);
    long got = 0;
  };

  void Run() {
    for (std::size_t next = 0;; ++next) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || filled_ < slots_.size(); });
        if (stop_) return;
      }
      Slot& slot = slots_[next % slots_.size()];
      slot.got = reader_.Read(slot.bytes.get(), kBlock);
      const std::lock_guard lock(mutex_);
      if (slot.got < 0) error_ = reader_.Error();
      ++filled_;
      changed_.notify_all();
      if (slot.got <= 0) return;
    }
  }

  BlockInput& reader_;
  std::array<Slot, 3> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t filled_ = 0;  // read and not yet free again, the one handed out included
  std::size_t taken_ = 0;   // blocks handed out
  bool stop_ = false;
  std::string error_;
  std::thread thread_;  // last: starts once the rest is set up
};

}  // namespace

std::optional<std::string> ForEachLogLine(const std::string& name,
                                          const std::function<void(std::string_view, bool)>& line) {
  BlockInput reader;
  if (!reader.Open(name)) return reader.Error();
  ReadAhead ahead(reader);
  // The start of a line that a block cut, held until its end comes.
  std::string carry;
  bool overlong = false;  // the line under way passed kMaxLogLine
  const auto hold = [&](std::string_view bytes) {
    if (overlong) return;
    overlong = carry.size() + bytes.size() > kMaxLogLine;
    if (overlong) carry.clear();
    if (!overlong) carry.append(bytes);
  };
  for (std::string_view block;;) {
    std::string why;
    if (!ahead.Next(block, why)) return why;
    if (block.empty()) {
      if (!carry.empty() || overlong) line(carry, !overlong);
      return std::nullopt;
    }
    std::size_t start = 0;
    const void* end = std::memchr(block.data(), '\n', block.size());
    if ((!carry.empty() || overlong) && end != nullptr) {
      start = static_cast<std::size_t>(static_cast<const char*>(end) - block.data());
      hold(block.substr(0, start));
      line(carry, !overlong);
      carry.clear();
      overlong = false;
      start += 1;
    }
    for (; (end = std::memchr(block.data() + start, '\n', block.size() - start));) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(end) - block.data());
      line(block.substr(start, at - start), true);
      start = at + 1;
    }
    hold(block.substr(start));
  }
}

}  // namespace lirrevo
