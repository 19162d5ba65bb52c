#include "cli/cli_input.h"

#include <sys/stat.h>

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

// The next block of the file; empty at its end. False after a read error.
bool ReadBlock(std::FILE* file, std::string& block) {
  block.resize(kBlock);
  block.resize(std::fread(block.data(), 1, block.size(), file));
  return !std::ferror(file);
}

std::size_t SizeOf(std::FILE* file) {
  struct stat st {};
  const bool known = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
  return known ? static_cast<std::size_t>(st.st_size) : 0;
}

// Reads the file a block at a time into the decoder, so that the list is held
// once, decoded; UTF-16, decoded whole, is read whole first.
std::optional<DecodedList> ReadAndDecode(std::FILE* file, ListEncoding asked) {
  std::string block;
  if (!ReadBlock(file, block)) return std::nullopt;
  std::string_view first = block;
  const ListEncoding encoding = TakeByteOrderMark(first, asked);
  if (encoding == ListEncoding::kUtf16Le || encoding == ListEncoding::kUtf16Be) {
    std::string bytes(first);
    while (!block.empty()) {
      if (!ReadBlock(file, block)) return std::nullopt;
      bytes += block;
    }
    return DecodeList(bytes, encoding);  // holds its UTF-8, not a view of bytes
  }
  ListDecoder decoder(encoding, SizeOf(file));
  decoder.Feed(first);
  while (!block.empty()) {
    if (!ReadBlock(file, block)) return std::nullopt;
    decoder.Feed(block);
  }
  return decoder.Finish();
}

}  // namespace

std::string InputName(const Options& options) {
  return options.input == "-" ? "standard input" : "'" + options.input + "'";
}

std::optional<DecodedList> ReadList(const Options& options) {
  errno = 0;
  const File file(options.input == "-" ? stdin : std::fopen(options.input.c_str(), "rb"));
  std::optional<DecodedList> list;
  if (file) list = ReadAndDecode(file.get(), options.encoding);
  if (!list) {
    std::cerr << "lirrevo-cli: cannot read " << InputName(options) << ": " << std::strerror(errno)
              << '\n';
    return std::nullopt;
  }
  if (list->Ok()) return list;
  for (const std::string& problem : list->Problems()) {
    std::cerr << "lirrevo-cli: " << InputName(options) << ", " << problem << '\n';
  }
  return std::nullopt;
}

}  // namespace lirrevo::cli
