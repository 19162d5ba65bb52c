#include "cli/generate_run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "core/atomic_file.h"
#include "core/sitemap_document.h"

namespace lirrevo::cli {
namespace {

int Fail(const std::string& message) {
  std::cerr << "lirrevo-cli: " << message << '\n';
  return 1;
}

std::optional<std::string> ReadAll(std::FILE* file) {
  std::string bytes;
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

// The date of every entry: today's local date, or, where SOURCE_DATE_EPOCH is
// set, the UTC date of that second, so that one list always gives one file.
std::optional<std::function<DateTime()>> Clock() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch == nullptr) return std::function<DateTime()>(CurrentDateTime);
  char* end = nullptr;
  errno = 0;
  const long long seconds = std::strtoll(epoch, &end, 10);
  std::tm utc{};
  const std::time_t when = static_cast<std::time_t>(seconds);
  if (*epoch == '\0' || *end != '\0' || errno != 0 || gmtime_r(&when, &utc) == nullptr) {
    return std::nullopt;
  }
  const DateTime date{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday};
  return [date] { return date; };
}

std::string InputName(const Options& options) {
  return options.input == "-" ? "standard input" : "'" + options.input + "'";
}

}  // namespace

std::optional<std::function<DateTime()>> DocumentClock() {
  std::optional<std::function<DateTime()>> clock = Clock();
  if (!clock) Fail("SOURCE_DATE_EPOCH is not a number of seconds");
  return clock;
}

std::optional<std::string> ReadListText(const Options& options) {
  errno = 0;
  std::optional<std::string> raw = ReadInput(options.input);
  if (!raw) {
    Fail("cannot read " + InputName(options) + ": " + std::strerror(errno));
    return std::nullopt;
  }
  PreparedInput prepared = PrepareInput(*raw, options.encoding);
  raw.reset();
  if (!prepared.ok) {
    for (const std::string& error : prepared.errors) Fail(InputName(options) + ", " + error);
    return std::nullopt;
  }
  return std::move(prepared.text);
}

int WriteDocument(std::string text, const std::function<DateTime()>& clock,
                  const std::optional<std::string>& output) {
  const std::string document = lirrevo::BuildSitemapDocument(
      [&]() -> std::optional<std::string> { return std::move(text); }, clock);
  if (document.empty()) return Fail("the document could not be converted to UTF-8");

  if (output) {
    if (!lirrevo::WriteBytesToFile(*output, document)) {
      return Fail("cannot write '" + *output + "': " + std::strerror(errno));
    }
    return 0;
  }
  if (std::fwrite(document.data(), 1, document.size(), stdout) != document.size() ||
      std::fflush(stdout) != 0) {
    return Fail(std::string("cannot write standard output: ") + std::strerror(errno));
  }
  return 0;
}

int RunGenerate(const Options& options) {
  const std::optional<std::function<DateTime()>> clock = DocumentClock();
  if (!clock) return 1;
  std::optional<std::string> text = ReadListText(options);
  if (!text) return 1;
  return WriteDocument(*std::move(text), *clock, options.output);
}

}  // namespace lirrevo::cli
