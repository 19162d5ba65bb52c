#include "cli/document_output.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_identity.h"
#include "core/file_output.h"
#include "core/gzip_stream.h"
#include "core/link_list.h"
#include "core/list_input.h"
#include "core/part_files.h"

namespace lirrevo::cli {
namespace {

int Fail(const std::string& message, int exit_code = 1) {
  std::cerr << "lirrevo-cli: " << message << '\n';
  return exit_code;
}

void Warn(const std::string& message) { std::cerr << "lirrevo-cli: warning: " << message << '\n'; }

// The URL of the file name in the folder that base names (a final '/' is
// taken as given): name percent-encoded and resolved against base as a URL.
std::string UrlInFolder(std::string base, const std::string& name) {
  if (!base.ends_with('/')) base += '/';
  char* escaped = curl_easy_escape(nullptr, name.data(), static_cast<int>(name.size()));
  const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  char* joined = nullptr;
  if (escaped == nullptr || !url ||
      curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, escaped, 0) != CURLUE_OK ||
      curl_url_get(url.get(), CURLUPART_URL, &joined, 0) != CURLUE_OK) {
    curl_free(escaped);
    throw std::bad_alloc();  // base was checked as an URL: only memory can fail
  }
  std::string result(joined);
  curl_free(escaped);
  curl_free(joined);
  return result;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

UrlsetForm FormOf(const Options& options) {
  return options.standard ? UrlsetForm::kStandard : UrlsetForm::kDeadLink;
}

// The input when it is a regular file, which an output must not replace.
// update reads every input whole before it writes, its own file first.
std::optional<struct stat> InputFile(const Options& options) {
  if (options.command == Command::kUpdate) return std::nullopt;
  struct stat st {};
  const bool known =
      options.input == "-" ? fstat(STDIN_FILENO, &st) == 0 : stat(options.input.c_str(), &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) return std::nullopt;
  return st;
}

// Whether path leads to the file input, by whatever name.
bool IsInput(const std::string& path, const std::optional<struct stat>& input) {
  struct stat st {};
  return input && stat(path.c_str(), &st) == 0 && SameFile(st, *input);
}

std::string SameAsInput(const Options& options, const std::string& path) {
  return "'" + path + "' is the same file as " +
         (options.input == "-" ? "standard input" : "the input '" + options.input + "'") +
         "; nothing was written";
}

bool IsWrittenStraight(const std::string& path) {
  struct stat st {};
  return OwnDescriptorNamed(path) ||
         (stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)));
}

// What kind of file path is, where -o cannot write one: a block device or a
// socket; nothing for any other.
std::optional<std::string> UnwritableKind(const std::string& path) {
  struct stat st {};
  if (OwnDescriptorNamed(path) || stat(path.c_str(), &st) != 0) return std::nullopt;
  if (S_ISBLK(st.st_mode)) return "a block device";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return std::nullopt;
}

// The files of one run: OUTPUT (with .gz under --gzip) for the one document
// or the index, STEM-N.xml[.gz] for the parts.
class OutputNames {
 public:
  explicit OutputNames(const Options& options) : options_(options) {}

  // A device, a named pipe or one of the program's own descriptors is
  // written as named, compressed: it has no name to put .gz after.
  std::string Main() const {
    const std::string& output = *options_.output;
    return options_.gzip && !output.ends_with(".gz") && !IsWrittenStraight(output) ? output + ".gz"
                                                                                   : output;
  }

  std::string Part(std::size_t number) const {
    return PartFileName(*options_.output, number, options_.gzip);
  }

 private:
  const Options& options_;
};

// Where the parts go: files (each through its own FileOutput, put in place
// only when all are written) or standard output, compressed where asked.
class Outputs : public PartSink {
 public:
  Outputs(const Options& options, std::optional<struct stat> input)
      : options_(options), names_(options), input_(input) {}

  bool BeginPart(std::size_t number) override {
    if (!options_.output) return StartGzip();
    return OpenFile(options_.split ? names_.Part(number) : names_.Main());
  }

  bool Write(std::string_view chunk) override {
    if (!gzip_) return Raw(chunk);
    return gzip_->Write(chunk) || Failed();
  }

  bool EndPart() override {
    if (gzip_ && !gzip_->Finish()) return Failed();
    gzip_.reset();
    if (!options_.output) return std::fflush(stdout) == 0 || Failed();
    return files_.back()->Finish() || Failed();
  }

  // A whole small document, such as the index, to its own file.
  bool WriteWhole(const std::string& path, std::string_view bytes) {
    return OpenFile(path) && Write(bytes) && EndPart();
  }

  // Whether path is a part of an earlier run: there, and not a file this run
  // writes by another name, as when a new part is a link to it.
  bool IsOldPart(const std::string& path) const {
    struct stat old {};
    if (!Exists(path)) return false;
    if (stat(path.c_str(), &old) != 0) return true;  // a dangling link
    for (const std::string& own : paths_) {
      struct stat written {};
      if (stat(own.c_str(), &written) == 0 && SameFile(old, written)) return false;
    }
    return true;
  }

  // Removes path in the commit, once every written file is in place; called
  // after the last file is written.
  bool RemoveOnCommit(const std::string& path) {
    if (IsInput(path, input_)) return Refused(SameAsInput(options_, path));
    files_.push_back(std::make_unique<FileOutput>());
    paths_.push_back(path);
    ++removals_;
    return files_.back()->OpenToRemove(path) || Failed();
  }

  // Puts every file in place, or none.
  bool CommitAll() {
    std::vector<FileOutput*> files;
    for (const std::unique_ptr<FileOutput>& file : files_) files.push_back(file.get());
    std::size_t failed = 0;
    return FileOutput::CommitAll(files, failed) || Failed(failed);
  }

  // Prints what failed ("cannot write 'NAME': cause") and gives the exit code.
  int Report() const { return Fail(message_, exit_code_); }

 private:
  bool OpenFile(const std::string& path) {
    if (IsInput(path, input_)) return Refused(SameAsInput(options_, path));
    files_.push_back(std::make_unique<FileOutput>());
    paths_.push_back(path);
    return (files_.back()->Open(path) || Failed()) && StartGzip();
  }

  bool StartGzip() {
    if (options_.gzip) {
      gzip_ = std::make_unique<GzipStream>([this](std::string_view b) { return Raw(b); });
    }
    return true;
  }

  bool Raw(std::string_view bytes) {
    if (!options_.output) {
      return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() || Failed();
    }
    return files_.back()->Write(bytes) || Failed();
  }

  // The failure of the file written last (or standard output), or of the
  // file numbered which.
  bool Failed() { return Failed(files_.empty() ? 0 : files_.size() - 1); }
  bool Failed(std::size_t which) {
    const int error = errno != 0 ? errno : EIO;
    if (!options_.output)
      return Refused(std::string("cannot write standard output: ") + std::strerror(error), 1);
    const std::string& problem = files_[which]->Problem();
    const bool removal = which >= files_.size() - removals_;
    return Refused((removal ? "cannot remove '" : "cannot write '") + paths_[which] +
                       "': " + (problem.empty() ? "" : problem + ": ") + std::strerror(error),
                   1);
  }

  // Keeps the first failure's message and exit code.
  bool Refused(const std::string& message, int exit_code = 2) {
    if (message_.empty()) {
      message_ = message;
      exit_code_ = exit_code;
    }
    return false;
  }

  const Options& options_;
  OutputNames names_;
  std::vector<std::unique_ptr<FileOutput>> files_;
  std::vector<std::string> paths_;
  std::size_t removals_ = 0;  // the last files_, which the commit removes
  std::unique_ptr<GzipStream> gzip_;
  std::optional<struct stat> input_;
  std::string message_;
  int exit_code_ = 1;
};

// What was written, where the user did not type it: the parts, the index,
// a name with .gz added.
void TellWritten(const Options& options, const OutputNames& names, std::size_t parts) {
  if (!options.split) {
    if (names.Main() != *options.output)
      std::cerr << "lirrevo-cli: wrote '" << names.Main() << "'\n";
    return;
  }
  std::cerr << "lirrevo-cli: wrote " << parts << (parts == 1 ? " part, '" : " parts, '")
            << names.Part(1) << "'";
  if (parts > 1) std::cerr << " to '" << names.Part(parts) << "'";
  if (options.index_url) std::cerr << ", and the index '" << names.Main() << "'";
  std::cerr << '\n';
}

void WarnOfLimits(const Options& options, const UrlsetResult& result) {
  if (result.skipped_empty != 0) {
    std::cerr << "lirrevo-cli: " << result.skipped_empty
              << (result.skipped_empty == 1 ? " empty line" : " empty lines")
              << " skipped: an empty loc is not a URL\n";
  }
  if (options.split) {
    if (result.most_bytes > options.max_bytes) {
      Warn("a part passes --max-bytes " + std::to_string(options.max_bytes) +
           ": one entry alone is larger");
    }
    return;
  }
  if (result.most_urls > kEngineMaxUrls) {
    Warn("the document holds " + GroupThousands(result.most_urls) + " links, more than the " +
         GroupThousands(kEngineMaxUrls) +
         " URLs search engines take in one file; --split writes parts");
  }
  if (result.most_bytes > kEngineMaxBytes) {
    Warn("the document has " + GroupThousands(result.most_bytes) + " bytes, more than the " +
         GroupThousands(kEngineMaxBytes) +
         " bytes search engines take in one file; --split writes parts");
  }
}

// The parts numbered past this run's that the commit removed.
void TellRemoved(const OutputNames& names, std::size_t parts, std::size_t old) {
  if (old == 0) return;
  std::cerr << "lirrevo-cli: removed " << old << (old == 1 ? " part" : " parts")
            << " of an earlier run: '" << names.Part(parts + 1) << "'";
  if (old > 1) std::cerr << " to '" << names.Part(parts + old) << "'";
  std::cerr << '\n';
}

}  // namespace

std::optional<DateTime> DocumentDate() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch == nullptr) return CurrentDateTime();
  // 0001-01-01T00:00:00Z and 9999-12-31T23:59:59Z: a date of four digits.
  constexpr long long kFirst = -62135596800;
  constexpr long long kLast = 253402300799;
  char* end = nullptr;
  errno = 0;
  const long long seconds = std::strtoll(epoch, &end, 10);
  if (*epoch == '\0' || *end != '\0') {
    Fail("SOURCE_DATE_EPOCH is not a number of seconds");
    return std::nullopt;
  }
  std::tm utc{};
  const std::time_t when = static_cast<std::time_t>(seconds);
  if (errno != 0 || seconds < kFirst || seconds > kLast || gmtime_r(&when, &utc) == nullptr) {
    Fail("SOURCE_DATE_EPOCH '" + std::string(epoch) + "' is outside the years 1 to 9999");
    return std::nullopt;
  }
  return DateTime{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday};
}

int CheckOutputs(const Options& options, const DateTime& date) {
  if (!options.output) return 0;
  if (options.split) {
    const std::size_t smallest = SmallestUrlsetSize(date, FormOf(options));
    if (options.max_bytes < smallest) {
      return Fail("--max-bytes " + std::to_string(options.max_bytes) + " is below " +
                      std::to_string(smallest) +
                      ", the size of the smallest document with one entry",
                  2);
    }
  }
  const OutputNames names(options);
  if (const std::optional<std::string> kind = UnwritableKind(names.Main())) {
    return Fail("'" + names.Main() + "' is " + *kind +
                    "; -o writes a file, a character device or a named pipe",
                2);
  }
  const std::optional<struct stat> input = InputFile(options);
  if (!input) return 0;
  std::vector<std::string> paths;
  if (!options.split || options.index_url) paths.push_back(names.Main());
  for (std::size_t n = 1; options.split && Exists(names.Part(n)); ++n) {
    paths.push_back(names.Part(n));
  }
  for (const std::string& path : paths) {
    if (IsInput(path, input)) return Fail(SameAsInput(options, path), 2);
  }
  return 0;
}

int WriteDocuments(const Options& options, const DateTime& date,
                   const std::function<void(DocumentBuilder&)>& fill) {
  const OutputNames names(options);
  UrlsetOptions shape;
  shape.form = FormOf(options);
  if (options.split) {
    shape.max_urls = options.max_urls;
    shape.max_bytes = options.max_bytes;
    shape.max_parts = kIndexMaxEntries;
  }
  Outputs outputs(options, InputFile(options));
  DocumentBuilder builder(DocumentKind::kUrlset, date, shape, outputs);
  fill(builder);
  const UrlsetResult result = builder.Finish();
  if (result.too_many_parts) {
    return Fail("the list needs more than " + GroupThousands(kIndexMaxEntries) +
                    " parts, the most one index lists; raise --max-urls or --max-bytes. "
                    "Nothing was written",
                2);
  }
  if (!result.ok) return outputs.Report();
  if (options.index_url) {
    std::vector<std::string> locs;
    for (std::size_t n = 1; n <= result.parts; ++n) {
      locs.push_back(UrlInFolder(*options.index_url, BaseName(names.Part(n))));
    }
    if (!outputs.WriteWhole(names.Main(), BuildSitemapIndex(locs, date, shape.form))) {
      return outputs.Report();
    }
  }
  // Parts left from an earlier, longer run would still be read as this list's.
  std::size_t old = 0;
  while (options.split && outputs.IsOldPart(names.Part(result.parts + old + 1))) ++old;
  for (std::size_t n = result.parts + 1; n <= result.parts + old; ++n) {
    if (!outputs.RemoveOnCommit(names.Part(n))) return outputs.Report();
  }
  if (!outputs.CommitAll()) return outputs.Report();
  if (options.output) TellWritten(options, names, result.parts);
  TellRemoved(names, result.parts, old);
  WarnOfLimits(options, result);
  return 0;
}

}  // namespace lirrevo::cli
