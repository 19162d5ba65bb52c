// lirrevo-cli: the dead-link document from a file or a pipe.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "cli/cli_input.h"
#include "core/generate_command.h"
#include "core/sitemap_document.h"

namespace {

using lirrevo::cli::InputEncoding;

constexpr const char* kUsage =
    "usage: lirrevo-cli [--input-encoding utf-8|gbk] [-o OUTPUT] [INPUT]\n";
constexpr const char* kHelp =
    "Writes the dead-link submission document (sitemap urlset, UTF-8) for the\n"
    "links in INPUT, one per line. INPUT is a file, or standard input when it\n"
    "is absent or '-'.\n\n"
    "  --input-encoding E  encoding of INPUT: utf-8 (default) or gbk\n"
    "  -o OUTPUT           write the document to OUTPUT (replaced atomically)\n"
    "                      instead of standard output\n"
    "  --help              show this help\n"
    "  --version           show the version\n";

struct Options {
  InputEncoding encoding = InputEncoding::kUtf8;
  std::string input = "-";
  std::optional<std::string> output;
};

int Fail(const std::string& message) {
  std::cerr << "lirrevo-cli: " << message << '\n';
  return 1;
}

int UsageError(const std::string& message) {
  std::cerr << "lirrevo-cli: " << message << '\n' << kUsage;
  return 2;
}

// Parses argv into options; returns an exit code when the run ends here.
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
  bool have_input = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--help") {
      std::cout << kUsage << '\n' << kHelp;
      return 0;
    } else if (arg == "--version") {
      std::cout << "lirrevo-cli " LIRREVO_VERSION "\n";
      return 0;
    } else if (arg == "--input-encoding" || arg.starts_with("--input-encoding=")) {
      const char* name = arg == "--input-encoding" ? value() : argv[i] + 17;
      if (name == nullptr) return UsageError("--input-encoding needs a value");
      if (strcasecmp(name, "utf-8") == 0 || strcasecmp(name, "utf8") == 0) {
        options.encoding = InputEncoding::kUtf8;
      } else if (strcasecmp(name, "gbk") == 0) {
        options.encoding = InputEncoding::kGbk;
      } else {
        return UsageError(std::string("unknown input encoding '") + name + "'");
      }
    } else if (arg == "-o" || arg == "--output") {
      const char* path = value();
      if (path == nullptr) return UsageError(arg + " needs a file name");
      options.output = path;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option '" + arg + "'");
    } else if (have_input) {
      return UsageError("more than one input given");
    } else {
      options.input = arg;
      have_input = true;
    }
  }
  return std::nullopt;
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

std::string InputName(const Options& options) {
  return options.input == "-" ? "standard input" : "'" + options.input + "'";
}

int Run(const Options& options) {
  errno = 0;
  std::optional<std::string> raw = ReadInput(options.input);
  if (!raw) return Fail("cannot read " + InputName(options) + ": " + std::strerror(errno));
  lirrevo::cli::PreparedInput prepared = lirrevo::cli::PrepareInput(*raw, options.encoding);
  raw.reset();
  if (!prepared.ok) return Fail(InputName(options) + ", " + prepared.error);

  const std::string document = lirrevo::BuildSitemapDocument(
      [&]() -> std::optional<std::string> { return std::move(prepared.text); });
  if (document.empty()) return Fail("the document could not be converted to UTF-8");

  if (options.output) {
    if (!lirrevo::WriteBytesToFile(*options.output, document)) {
      return Fail("cannot write '" + *options.output + "': " + std::strerror(errno));
    }
    return 0;
  }
  if (std::fwrite(document.data(), 1, document.size(), stdout) != document.size() ||
      std::fflush(stdout) != 0) {
    return Fail(std::string("cannot write standard output: ") + std::strerror(errno));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit must turn into a write error, not end the process.
  std::signal(SIGXFSZ, SIG_IGN);
  Options options;
  if (const std::optional<int> done = ParseArguments(argc, argv, options)) return *done;
  return Run(options);
}
