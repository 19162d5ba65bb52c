#include "cli/cli_input.h"

#include <algorithm>

#include "cli/messages.h"
#include "core/files/block_input.h"

namespace lirrevo::cli {
namespace {

constexpr std::size_t kBlock = std::size_t{4} << 20;

// "2 GiB", "300 MiB", "12345 bytes": a size as --max-input takes it.
std::string SizeText(std::size_t bytes) {
  constexpr std::string_view kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && bytes % 1024 == 0 && bytes != 0) {
    bytes /= 1024;
    ++unit;
  }
  return std::to_string(bytes) + " " + std::string(kUnits[unit]);
}

// How a read ended short of a list to take.
enum class Stop { kNone, kReadError, kTooLarge, kBadLine };

// Reads the input a block at a time into the decoder, so that the list is
// held once, decoded; UTF-16, decoded whole, is read whole first. Endless
// input ends at the first bad line or at max_bytes.
class ListReader {
 public:
  ListReader(BlockInput& input, std::size_t max_bytes) : input_(input), max_bytes_(max_bytes) {}

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
    ListDecoder decoder(encoding, std::min(input_.Size(), max_bytes_));
    decoder.Feed(first);
    while (!block_.empty() && !decoder.FoundProblem()) {
      if (!Next()) return std::nullopt;
      decoder.Feed(block_);
    }
    char more;
    if (!block_.empty() && input_.Read(&more, 1) != 0) stop_ = Stop::kBadLine;
    return decoder.Finish();
  }

  Stop Stopped() const { return stop_; }

 private:
  // The next block of the file; empty at its end. False after a read error
  // or past max_bytes.
  bool Next() {
    block_.resize(kBlock);
    const long got = input_.Read(block_.data(), block_.size());
    block_.resize(static_cast<std::size_t>(std::max(got, 0L)));
    if (got < 0) stop_ = Stop::kReadError;
    read_ += block_.size();
    if (read_ > max_bytes_) stop_ = Stop::kTooLarge;
    return stop_ == Stop::kNone;
  }

  BlockInput& input_;
  const std::size_t max_bytes_;
  std::string block_;
  std::size_t read_ = 0;
  Stop stop_ = Stop::kNone;
};

std::nullopt_t CannotReadList(const Options& options, const BlockInput& input) {
  Say(CannotRead(options.input, input.Error()));
  return std::nullopt;
}

}  // namespace

std::optional<DecodedList> ReadList(const Options& options) {
  BlockInput input;
  if (!input.Open(options.input)) return CannotReadList(options, input);
  ListReader reader(input, options.max_input);
  std::optional<DecodedList> list = reader.Read(options.encoding);
  if (reader.Stopped() == Stop::kReadError) {
    return CannotReadList(options, input);
  } else if (reader.Stopped() == Stop::kTooLarge) {
    Say(Named(options.input) + " is larger than " + SizeText(options.max_input) + ", the most " +
        (options.max_input_given ? "--max-input allows"
                                 : "read by default; --max-input SIZE reads more"));
  }
  if (!list) return std::nullopt;
  if (list->Ok()) return list;
  for (const std::string& problem : list->Problems()) Say(Named(options.input) + ", " + problem);
  if (reader.Stopped() == Stop::kBadLine) Say(Named(options.input) + ": not read further");
  return std::nullopt;
}

}  // namespace lirrevo::cli
