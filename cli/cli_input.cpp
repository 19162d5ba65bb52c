#include "cli/cli_input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>

namespace lirrevo::cli {
namespace {

std::optional<std::string> ReadAll(std::FILE* file) {
  std::string bytes;
  // A file's size is known: its bytes then take no more memory than they need,
  // and no growth copies them.
  struct stat st {};
  if (fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    bytes.reserve(static_cast<std::size_t>(st.st_size) + 1);
  }
  char chunk[1 << 16];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  if (std::ferror(file)) return std::nullopt;
  return bytes;
}

std::optional<std::string> ReadInput(const std::string& name) {
  if (name == "-") return ReadAll(stdin);
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::optional<std::string> bytes = ReadAll(file);
  std::fclose(file);
  return bytes;
}

}  // namespace

std::string InputName(const Options& options) {
  return options.input == "-" ? "standard input" : "'" + options.input + "'";
}

std::unique_ptr<InputList> ReadList(const Options& options) {
  errno = 0;
  std::optional<std::string> bytes = ReadInput(options.input);
  if (!bytes) {
    std::cerr << "lirrevo-cli: cannot read " << InputName(options) << ": " << std::strerror(errno)
              << '\n';
    return nullptr;
  }
  auto input = std::make_unique<InputList>(InputList{std::move(*bytes), {}});
  std::string_view view = input->bytes;
  const ListEncoding encoding = TakeByteOrderMark(view, options.encoding);
  input->list = DecodeList(view, encoding);
  if (input->list.Ok()) return input;
  for (const std::string& problem : input->list.Problems()) {
    std::cerr << "lirrevo-cli: " << InputName(options) << ", " << problem << '\n';
  }
  return nullptr;
}

}  // namespace lirrevo::cli
