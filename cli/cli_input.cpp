#include "cli/cli_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

namespace lirrevo::cli {
namespace {

constexpr std::size_t kBlock = std::size_t{4} << 20;

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != stdin) std::fclose(file);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::size_t SizeOf(std::FILE* file) {
  struct stat st {};
  const bool known = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
  return known ? static_cast<std::size_t>(st.st_size) : 0;
}

// How a read ended short of a list to take.
enum class Stop { kNone, kReadError, kTooLarge, kBadLine };

// Reads the file a block at a time into the decoder, so that the list is held
// once, decoded; UTF-16, decoded whole, is read whole first. Endless input
// ends at the first bad line or at max_bytes.
class ListReader {
 public:
  ListReader(std::FILE* file, std::size_t max_bytes) : file_(file), max_bytes_(max_bytes) {}

  std::optional<DecodedList> Read(ListEncoding asked) {
    if (!Next()) return std::nullopt;
    std::string_view first = block_;
    const ListEncoding encoding = TakeByteOrderMark(first, asked);
    if (encoding == ListEncoding::kUtf16Le || encoding == ListEncoding::kUtf16Be) {
      std::string bytes(first);
      while (!block_.empty()) {
        if (!Next()) return std::nullopt;
        bytes += block_;
      }
      return DecodeList(bytes, encoding);  // holds its UTF-8, not a view of bytes
    }
    ListDecoder decoder(encoding, std::min(SizeOf(file_), max_bytes_));
    decoder.Feed(first);
    while (!block_.empty() && !decoder.FoundProblem()) {
      if (!Next()) return std::nullopt;
      decoder.Feed(block_);
    }
    if (!block_.empty() && std::getc(file_) != EOF) stop_ = Stop::kBadLine;
    return decoder.Finish();
  }

  Stop Stopped() const { return stop_; }

 private:
  // The next block of the file; empty at its end. False after a read error
  // or past max_bytes.
  bool Next() {
    block_.resize(kBlock);
    block_.resize(std::fread(block_.data(), 1, block_.size(), file_));
    if (std::ferror(file_)) stop_ = Stop::kReadError;
    read_ += block_.size();
    if (read_ > max_bytes_) stop_ = Stop::kTooLarge;
    return stop_ == Stop::kNone;
  }

  std::FILE* file_;
  const std::size_t max_bytes_;
  std::string block_;
  std::size_t read_ = 0;
  Stop stop_ = Stop::kNone;
};

std::nullopt_t CannotRead(const Options& options) {
  std::cerr << "lirrevo-cli: cannot read " << InputName(options) << ": " << std::strerror(errno)
            << '\n';
  return std::nullopt;
}

void Complain(const Options& options, const std::string& message) {
  std::cerr << "lirrevo-cli: " << InputName(options) << message << '\n';
}

}  // namespace

std::string InputName(const Options& options) {
  return options.input == "-" ? "standard input" : "'" + options.input + "'";
}

std::optional<DecodedList> ReadList(const Options& options) {
  errno = 0;
  const File file(options.input == "-" ? stdin : std::fopen(options.input.c_str(), "rb"));
  if (!file) return CannotRead(options);
  ListReader reader(file.get(), options.max_input);
  std::optional<DecodedList> list = reader.Read(options.encoding);
  if (reader.Stopped() == Stop::kReadError) {
    return CannotRead(options);
  } else if (reader.Stopped() == Stop::kTooLarge) {
    Complain(options,
             " is larger than " + SizeText(options.max_input) + ", the most " +
                 (options.max_input_given ? "--max-input allows"
                                          : "read by default; --max-input SIZE reads more"));
  }
  if (!list) return std::nullopt;
  if (list->Ok()) return list;
  for (const std::string& problem : list->Problems()) Complain(options, ", " + problem);
  if (reader.Stopped() == Stop::kBadLine) Complain(options, ": not read further");
  return std::nullopt;
}

}  // namespace lirrevo::cli
