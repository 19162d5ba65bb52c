#include "cli/scan_log_run.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/document_output.h"
#include "cli/messages.h"
#include "core/access_log.h"
#include "core/block_input.h"
#include "core/link_list.h"

namespace lirrevo::cli {
namespace {

constexpr std::size_t kBlock = std::size_t{256} << 10;
// Longer than any line a server logs.
constexpr std::size_t kMaxLine = std::size_t{1} << 20;
// The bad lines named by number; the rest are counted.
constexpr std::size_t kNamedLines = 5;

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

// The lines of one log that give no request for a page of the site: how
// many, and the first by number.
struct Skipped {
  std::size_t lines = 0;
  std::size_t not_in_layout = 0;
  std::size_t count = 0;  // those, and the lines whose target is no path of the site
  std::vector<std::size_t> named;

  void Note(std::size_t line) {
    if (++count <= kNamedLines) named.push_back(line);
  }

  std::string Text() const {
    std::string text = std::to_string(count) + (count == 1 ? " line" : " lines") +
                       " skipped (not in the log's layout, or not a request for a page of "
                       "the site): line";
    if (named.size() > 1) text += 's';
    for (std::size_t i = 0; i < named.size(); ++i) {
      text += (i == 0 ? " " : ", ") + std::to_string(named[i]);
    }
    if (count > named.size()) text += ", ...";
    return text;
  }
};

// Feeds every line of the log to dead; false (after the message) when the
// log cannot be read. A line longer than kMaxLine is no log line: it is
// skipped without being held.
bool ScanLog(const std::string& log, const AccessLogFormat& format, DeadLinkLog& dead,
             Skipped& skipped) {
  BlockInput reader;
  const auto cannot_read = [&](const std::string& cause) {
    Fail(CannotRead(log, cause));
    return false;
  };
  if (!reader.Open(log)) return cannot_read(reader.Error());
  const auto take = [&](std::string_view line, bool whole) {
    using Line = DeadLinkLog::Line;
    if (line.ends_with('\r')) line.remove_suffix(1);
    ++skipped.lines;
    const Line read = whole ? dead.Take(format, line) : Line::kNotInLayout;
    if (read == Line::kNotInLayout) ++skipped.not_in_layout;
    if (read != Line::kOnSite) skipped.Note(skipped.lines);
  };
  ReadAhead ahead(reader);
  // The start of a line that a block cut, held until its end comes.
  std::string carry;
  bool overlong = false;  // the line under way passed kMaxLine
  const auto hold = [&](std::string_view bytes) {
    if (overlong) return;
    overlong = carry.size() + bytes.size() > kMaxLine;
    if (overlong) carry.clear();
    if (!overlong) carry.append(bytes);
  };
  for (std::string_view block;;) {
    std::string why;
    if (!ahead.Next(block, why)) return cannot_read(why);
    if (block.empty()) {
      if (!carry.empty() || overlong) take(carry, !overlong);
      return true;
    }
    std::size_t start = 0;
    const void* end = std::memchr(block.data(), '\n', block.size());
    if ((!carry.empty() || overlong) && end != nullptr) {
      start = static_cast<std::size_t>(static_cast<const char*>(end) - block.data());
      hold(block.substr(0, start));
      take(carry, !overlong);
      carry.clear();
      overlong = false;
      start += 1;
    }
    for (; (end = std::memchr(block.data() + start, '\n', block.size() - start));) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(end) - block.data());
      take(block.substr(start, at - start), true);
      start = at + 1;
    }
    hold(block.substr(start));
  }
}

// Refuses, before a log is read, an output that is one of the logs.
int CheckLogOutputs(const Options& options, const DateTime& date) {
  for (const std::string& log : options.logs) {
    Options one = options;
    one.input = log;
    if (const int refused = CheckOutputs(one, date)) return refused;
  }
  return 0;
}

// The links to standard output, or as the document's locs where -o is given.
int WriteLinks(const Options& options, const std::optional<DateTime>& date,
               const std::deque<std::string>& links) {
  if (options.output) {
    return WriteDocuments(options, *date, [&](DocumentBuilder& builder) {
      for (const std::string& link : links) builder.Add(link);
    });
  }
  for (const std::string& link : links) {
    std::fwrite(link.data(), 1, link.size(), stdout);
    std::fputc('\n', stdout);
  }
  if (std::fflush(stdout) != 0) {
    return Fail(std::string("cannot write standard output: ") + std::strerror(errno), 1);
  }
  return 0;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
  return GroupThousands(n) + ' ' + (n == 1 ? one : many);
}

// "4,000,000 lines read, 3,992,090 in the layout, 281,118 answered 404 or
// 410, 3,816 distinct links".
std::string Summary(std::size_t lines, std::size_t in_layout, const DeadLinkLog& dead,
                    const std::vector<int>& statuses) {
  std::string text = Counted(lines, "line", "lines") + " read, " + GroupThousands(in_layout) +
                     " in the layout, " + GroupThousands(dead.Answered()) + " answered";
  for (std::size_t i = 0; i < statuses.size(); ++i) {
    text += i == 0 ? " " : i + 1 == statuses.size() ? " or " : ", ";
    text += std::to_string(statuses[i]);
  }
  return text + ", " + Counted(dead.Links().size(), "distinct link", "distinct links");
}

}  // namespace

int RunScanLog(const Options& options) {
  std::optional<DateTime> date;
  if (options.output && !(date = DocumentDate())) return 1;
  if (const int refused = date ? CheckLogOutputs(options, *date) : 0) return refused;
  const std::optional<AccessLogFormat> format =
      AccessLogFormat::Parse(options.log_format.value_or(std::string(kCombinedLogFormat)));
  DeadLinkLog dead(options.site, options.statuses);
  std::size_t lines = 0;
  std::size_t in_layout = 0;
  for (const std::string& log : options.logs) {
    Skipped skipped;
    if (!ScanLog(log, *format, dead, skipped)) return 2;
    if (skipped.count != 0) Say(Named(log) + ": " + skipped.Text());
    lines += skipped.lines;
    in_layout += skipped.lines - skipped.not_in_layout;
  }
  const std::string summary = Summary(lines, in_layout, dead, options.statuses);
  if (lines != 0 && in_layout == 0) {
    Say(summary);
    return Fail("no line of the logs is in the log's layout; --log-format tells it", 1);
  }
  const int written = WriteLinks(options, date, dead.Links());
  Say(summary);
  return written;
}

}  // namespace lirrevo::cli
