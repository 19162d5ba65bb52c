#include "cli/scan_log_run.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/document_output.h"
#include "core/access_log.h"
#include "core/list_input.h"

namespace lirrevo::cli {
namespace {

constexpr std::size_t kBlock = std::size_t{4} << 20;
// Longer than any line a server logs.
constexpr std::size_t kMaxLine = std::size_t{1} << 20;
// The bad lines named by number; the rest are counted.
constexpr std::size_t kNamedLines = 5;

int Fail(const std::string& message) {
  std::cerr << "lirrevo-cli: " << message << '\n';
  return 1;
}

std::string LogName(const std::string& log) {
  return log == "-" ? "standard input" : "'" + log + "'";
}

// A log's bytes a block at a time: plain, or through zlib where the name
// ends in .gz or standard input starts as gzip does.
class LogReader {
 public:
  ~LogReader() {
    if (gz_ != nullptr) gzclose(gz_);
    if (fd_ > 0) close(fd_);
  }

  bool Open(const std::string& log) {
    fd_ = log == "-" ? 0 : open(log.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    if (log.ends_with(".gz") || log == "-") {
      // zlib reads a plain file as it is, so standard input may be either.
      gz_ = gzdopen(log == "-" ? dup(0) : fd_, "rb");
      if (log != "-") fd_ = -1;  // gzclose closes it
      if (gz_ == nullptr) return false;
      gzbuffer(gz_, 1 << 20);
    }
    return true;
  }

  // The next bytes into block, appended; 0 at the end, -1 on an error.
  long Read(std::string& block) {
    const std::size_t before = block.size();
    block.resize(before + kBlock);
    long got;
    do {
      got = gz_ != nullptr ? gzread(gz_, block.data() + before, static_cast<unsigned>(kBlock))
                           : read(fd_, block.data() + before, kBlock);
    } while (got < 0 && gz_ == nullptr && errno == EINTR);
    block.resize(before + (got > 0 ? static_cast<std::size_t>(got) : 0));
    return got;
  }

  std::string Error() const {
    int zerror = Z_OK;
    const char* message = gz_ != nullptr ? gzerror(gz_, &zerror) : nullptr;
    return zerror != Z_OK && zerror != Z_ERRNO ? message : std::strerror(errno);
  }

 private:
  int fd_ = -1;
  gzFile gz_ = nullptr;
};

// The lines of one log that did not parse: how many, and the first by number.
struct Skipped {
  std::size_t lines = 0;
  std::size_t count = 0;
  std::vector<std::size_t> named;

  void Note(std::size_t line) {
    if (++count <= kNamedLines) named.push_back(line);
  }

  std::string Text() const {
    std::string text = std::to_string(count) + (count == 1 ? " line" : " lines") +
                       " not in the log's layout, skipped: line";
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
  LogReader reader;
  const auto cannot_read = [&](const std::string& cause) {
    Fail("cannot read " + LogName(log) + ": " + cause);
    return false;
  };
  if (!reader.Open(log)) return cannot_read(std::strerror(errno));
  const auto take = [&](std::string_view line, bool whole) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    ++skipped.lines;
    if (!whole || !dead.Take(format, line)) skipped.Note(skipped.lines);
  };
  std::string block;
  bool overlong = false;  // the line under way passed kMaxLine
  for (;;) {
    const long got = reader.Read(block);
    if (got < 0) return cannot_read(reader.Error());
    const std::string_view text = block;
    std::size_t start = 0;
    for (const void* end; (end = std::memchr(text.data() + start, '\n', text.size() - start));) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(end) - text.data());
      take(text.substr(start, at - start), !overlong);
      overlong = false;
      start = at + 1;
    }
    if (got == 0) {
      if (start < text.size() || overlong) take(text.substr(start), !overlong);
      return true;
    }
    block.erase(0, start);
    if (block.size() > kMaxLine) {
      overlong = true;
      block.clear();
    }
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

// The links as the document's locs, which must be UTF-8 that XML can hold.
int WriteDocument(const Options& options, const DateTime& date,
                  const std::deque<std::string>& links) {
  for (const std::string& link : links) {
    if (!DecodeUtf8List(link).Ok() || link.find_first_of("\r\n") != std::string::npos) {
      return Fail("'" + link +
                  "' cannot stand in a document: it is not UTF-8 or holds a "
                  "character XML cannot hold");
    }
  }
  return WriteDocuments(options, date, [&](DocumentBuilder& builder) {
    for (const std::string& link : links) builder.Add(link);
  });
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
  std::size_t parsed = 0;
  for (const std::string& log : options.logs) {
    Skipped skipped;
    if (!ScanLog(log, *format, dead, skipped)) return 1;
    if (skipped.count != 0)
      std::cerr << "lirrevo-cli: " << LogName(log) << ": " << skipped.Text() << '\n';
    lines += skipped.lines;
    parsed += skipped.lines - skipped.count;
  }
  if (lines != 0 && parsed == 0) {
    return Fail("no line of the logs is in the log's layout; --log-format tells it");
  }
  if (options.output) return WriteDocument(options, *date, dead.Links());
  for (const std::string& link : dead.Links()) {
    std::fwrite(link.data(), 1, link.size(), stdout);
    std::fputc('\n', stdout);
  }
  if (std::fflush(stdout) != 0) {
    return Fail(std::string("cannot write standard output: ") + std::strerror(errno));
  }
  return 0;
}

}  // namespace lirrevo::cli
