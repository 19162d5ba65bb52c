#include "cli/document_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "check/url.h"
#include "cli/messages.h"
#include "core/document/link_list.h"
#include "core/document/part_names.h"
#include "core/files/document_writer.h"
#include "core/files/file_identity.h"
#include "core/files/gzip_stream.h"

namespace lirrevo::cli {
namespace {

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
// or the index. A device, a named pipe or one of the program's own
// descriptors is written as named, compressed: it has no name to put .gz
// after.
std::string MainName(const Options& options) {
  const std::string& output = *options.output;
  return options.gzip && !output.ends_with(".gz") && !IsWrittenStraight(output) ? output + ".gz"
                                                                                : output;
}

// STEM-N.xml[.gz], the parts.
std::string PartName(const Options& options, std::size_t number) {
  return PartFileName(*options.output, number, options.gzip);
}

// The document on standard output, compressed where asked.
class StandardOutput : public PartSink {
 public:
  explicit StandardOutput(bool gzip) : gzip_(gzip) {}

  bool BeginPart(std::size_t) override {
    if (gzip_)
      stream_ = std::make_unique<GzipStream>([this](std::string_view b) { return Raw(b); });
    return true;
  }

  bool Write(std::string_view chunk) override {
    if (!stream_) return Raw(chunk);
    return stream_->Write(chunk) || Failed();
  }

  bool EndPart() override {
    if (stream_ && !stream_->Finish()) return Failed();
    stream_.reset();
    return std::fflush(stdout) == 0 || Failed();
  }

  // Prints what failed first and gives the exit code.
  int Report() const { return Fail(problem_, 1); }

 private:
  bool Raw(std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() || Failed();
  }

  bool Failed() {
    const int error = errno != 0 ? errno : EIO;
    if (problem_.empty()) problem_ = CannotWriteStandardOutput(error);
    return false;
  }

  bool gzip_;
  std::unique_ptr<GzipStream> stream_;
  std::string problem_;
};

// Prints why the files were not written ("cannot write 'NAME': cause") and
// gives the exit code.
int Report(const Options& options, const WriteFailure& failure) {
  if (failure.kind == WriteFailure::Kind::kIsInput) {
    return Fail(SameAsInput(options, failure.path), 2);
  }
  const bool remove = failure.kind == WriteFailure::Kind::kRemove;
  return Fail(std::string(remove ? "cannot remove '" : "cannot write '") + failure.path +
                  "': " + failure.cause,
              1);
}

// The files of one run, as DocumentWriter writes them.
DocumentFiles FilesOf(const Options& options, const DateTime& date) {
  DocumentFiles files;
  // The parts take their names from OUTPUT and from OUTPUT.gz alike.
  files.path = MainName(options);
  files.parts = options.split;
  files.gzip = options.gzip;
  if (options.index_url) {
    files.index_loc = [base = *options.index_url](const std::string& name) {
      return check::UrlInFolder(base, name);
    };
  }
  files.index_date = date;
  files.index_form = FormOf(options);
  files.input = InputFile(options);
  return files;
}

// What was written, where the user did not type it: the parts, the index,
// a name with .gz added.
void TellWritten(const Options& options, std::size_t parts) {
  if (!options.split) {
    if (MainName(options) != *options.output) Say("wrote '" + MainName(options) + "'");
    return;
  }
  std::string told = "wrote " + std::to_string(parts) + (parts == 1 ? " part, '" : " parts, '") +
                     PartName(options, 1) + "'";
  if (parts > 1) told += " to '" + PartName(options, parts) + "'";
  if (options.index_url) told += ", and the index '" + MainName(options) + "'";
  Say(told);
}

void WarnOfLimits(const Options& options, const UrlsetResult& result) {
  if (result.skipped_empty != 0) {
    Say(std::to_string(result.skipped_empty) +
        (result.skipped_empty == 1 ? " empty line" : " empty lines") +
        " skipped: an empty loc is not a URL");
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
void TellRemoved(const Options& options, std::size_t parts, std::size_t old) {
  if (old == 0) return;
  std::string told = "removed " + std::to_string(old) + (old == 1 ? " part" : " parts") +
                     " of an earlier run: '" + PartName(options, parts + 1) + "'";
  if (old > 1) told += " to '" + PartName(options, parts + old) + "'";
  Say(told);
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
  if (const std::optional<std::string> kind = UnwritableKind(MainName(options))) {
    return Fail("'" + MainName(options) + "' is " + *kind +
                    "; -o writes a file, a character device or a named pipe",
                2);
  }
  const std::optional<struct stat> input = InputFile(options);
  if (!input) return 0;
  std::vector<std::string> paths;
  if (!options.split || options.index_url) paths.push_back(MainName(options));
  struct stat st {};
  for (std::size_t n = 1; options.split && lstat(PartName(options, n).c_str(), &st) == 0; ++n) {
    paths.push_back(PartName(options, n));
  }
  // None of them may lead to the file input, by whatever name.
  for (const std::string& path : paths) {
    if (stat(path.c_str(), &st) == 0 && SameFile(st, *input)) {
      return Fail(SameAsInput(options, path), 2);
    }
  }
  return 0;
}

int WriteDocuments(const Options& options, const DateTime& date,
                   const std::function<void(DocumentBuilder&)>& fill) {
  UrlsetOptions shape;
  shape.form = FormOf(options);
  if (options.split) {
    shape.max_urls = options.max_urls;
    shape.max_bytes = options.max_bytes;
    shape.max_parts = kIndexMaxEntries;
  }
  const auto build = [&](PartSink& sink) {
    DocumentBuilder builder(DocumentKind::kUrlset, date, shape, sink);
    fill(builder);
    return builder.Finish();
  };
  if (!options.output) {
    StandardOutput standard_output(options.gzip);
    const UrlsetResult result = build(standard_output);
    if (!result.ok) return standard_output.Report();
    WarnOfLimits(options, result);
    return 0;
  }
  DocumentWriter writer(FilesOf(options, date));
  const UrlsetResult result = build(writer);
  if (result.too_many_parts) {
    return Fail("the list needs more than " + GroupThousands(kIndexMaxEntries) +
                    " parts, the most one index lists; raise --max-urls or --max-bytes. "
                    "Nothing was written",
                2);
  }
  if (!result.ok || !writer.Commit(result.parts)) return Report(options, *writer.Failure());
  TellWritten(options, result.parts);
  TellRemoved(options, result.parts, writer.RemovedParts());
  WarnOfLimits(options, result);
  return 0;
}

}  // namespace lirrevo::cli
