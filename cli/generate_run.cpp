#include "cli/generate_run.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_input.h"
#include "core/file_output.h"
#include "core/gzip_stream.h"
#include "core/output_encoding.h"
#include "core/sitemap_document.h"
#include "core/urlset_stream.h"

namespace lirrevo::cli {
namespace {

int Fail(const std::string& message) {
  std::cerr << "lirrevo-cli: " << message << '\n';
  return 1;
}

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

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// The list as the builder reads it: the input's own bytes, or for UTF-16 their
// conversion to UTF-8 (with marks where they are invalid, which the builder refuses).
struct List {
  std::string_view bytes;
  ListEncoding encoding = ListEncoding::kUtf8;
  std::string converted;
};

void ReadAs(List& list, std::string_view raw, InputEncoding encoding) {
  const bool be_mark = raw.starts_with(kUtf16BeMark);
  const bool utf16_mark = be_mark || raw.starts_with(kUtf16LeMark);
  if (encoding == InputEncoding::kUtf16 || (encoding == InputEncoding::kUtf8 && utf16_mark)) {
    list.converted = utf16_mark
                         ? ToUtf8MarkingInvalid(raw.substr(2), be_mark ? "UTF-16BE" : "UTF-16LE", 2)
                         : ToUtf8MarkingInvalid(raw, "UTF-16LE", 2);
    list.bytes = list.converted;
    return;
  }
  if (encoding == InputEncoding::kGbk || encoding == InputEncoding::kGb18030) {
    list.bytes = raw;
    list.encoding = encoding == InputEncoding::kGbk ? ListEncoding::kGbk : ListEncoding::kGb18030;
    return;
  }
  list.bytes = raw.starts_with(kUtf8Mark) ? raw.substr(kUtf8Mark.size()) : raw;
}

bool EndsWith(const std::string& text, std::string_view end) { return text.ends_with(end); }

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Where the parts go: files (each through a temporary file, put in place only
// when all are written) or standard output, compressed where asked.
class Outputs : public PartSink {
 public:
  explicit Outputs(const Options& options) : options_(options) {}

  // The one document's file, or the index's: OUTPUT, with .gz under --gzip.
  std::string MainPath() const {
    const std::string& output = *options_.output;
    return options_.gzip && !EndsWith(output, ".gz") ? output + ".gz" : output;
  }

  std::string PartPath(std::size_t number) const {
    std::string stem = *options_.output;
    if (EndsWith(stem, ".gz")) stem.resize(stem.size() - 3);
    if (EndsWith(stem, ".xml")) stem.resize(stem.size() - 4);
    return stem + "-" + std::to_string(number) + (options_.gzip ? ".xml.gz" : ".xml");
  }

  bool BeginPart(std::size_t number) override {
    if (!options_.output) return StartGzip();
    const std::string path = options_.split ? PartPath(number) : MainPath();
    files_.push_back(std::make_unique<FileOutput>());
    names_.push_back(path);
    if (!files_.back()->Open(path)) return Failed(path);
    return StartGzip();
  }

  bool Write(std::string_view chunk) override {
    if (!gzip_) return Raw(chunk);
    return gzip_->Write(chunk) || Failed(CurrentName());
  }

  bool EndPart() override {
    if (gzip_ && !gzip_->Finish()) return Failed(CurrentName());
    gzip_.reset();
    if (!options_.output) return std::fflush(stdout) == 0 || Failed("");
    return files_.back()->Finish() || Failed(names_.back());
  }

  // A whole small document, such as the index, to its own file.
  bool WriteWhole(const std::string& path, std::string_view bytes) {
    files_.push_back(std::make_unique<FileOutput>());
    names_.push_back(path);
    if (!files_.back()->Open(path)) return Failed(path);
    return StartGzip() && Write(bytes) && EndPart();
  }

  // Puts every file in place, in the order written.
  bool CommitAll() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (!files_[i]->Commit()) return Failed(names_[i]);
    }
    return true;
  }

  // What failed, for the message: "cannot write 'NAME': cause".
  std::string Failure() const {
    const std::string what = failed_name_.empty() ? "standard output" : "'" + failed_name_ + "'";
    return "cannot write " + what + ": " + std::strerror(error_);
  }

 private:
  bool StartGzip() {
    if (options_.gzip)
      gzip_ = std::make_unique<GzipStream>([this](std::string_view b) { return Raw(b); });
    return true;
  }

  std::string CurrentName() const { return options_.output ? names_.back() : std::string(); }

  bool Raw(std::string_view bytes) {
    if (!options_.output) {
      return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() || Failed("");
    }
    return files_.back()->Write(bytes) || Failed(names_.back());
  }

  bool Failed(const std::string& name) {
    if (error_ == 0) {
      error_ = errno != 0 ? errno : EIO;
      failed_name_ = name;
    }
    return false;
  }

  const Options& options_;
  std::vector<std::unique_ptr<FileOutput>> files_;
  std::vector<std::string> names_;
  std::unique_ptr<GzipStream> gzip_;
  int error_ = 0;
  std::string failed_name_;
};

// A loc of the index holds UTF-8 that XML can hold, on one line.
bool CanStandInLoc(std::string_view loc) {
  return loc.find_first_of("\r\n") == std::string_view::npos &&
         ListIsWritable(loc, ListEncoding::kUtf8);
}

std::string WithSlash(std::string base) {
  if (!base.ends_with('/')) base += '/';
  return base;
}

void Warn(const std::string& message) { std::cerr << "lirrevo-cli: warning: " << message << '\n'; }

std::string Grouped(std::size_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
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
  const DateTime date = (*clock)();
  errno = 0;
  const std::optional<std::string> raw = ReadInput(options.input);
  if (!raw) return Fail("cannot read " + InputName(options) + ": " + std::strerror(errno));
  List list;
  ReadAs(list, *raw, options.encoding);

  Outputs outputs(options);
  if (options.index_url &&
      !CanStandInLoc(WithSlash(*options.index_url) + FileName(outputs.PartPath(1)))) {
    return Fail("--index-url: '" + *options.index_url +
                "' cannot stand in a loc: it is not UTF-8 or holds a character XML cannot hold");
  }
  UrlsetOptions stream_options;
  stream_options.form = options.standard ? UrlsetForm::kStandard : UrlsetForm::kDeadLink;
  if (options.split) {
    stream_options.max_urls = options.max_urls;
    stream_options.max_bytes = options.max_bytes;
  }
  const UrlsetResult result =
      StreamUrlset(list.bytes, list.encoding, date, stream_options, outputs);
  if (!result.input_valid) {
    // The refusal names every bad line as the whole-input check does.
    std::string().swap(list.converted);
    const PreparedInput prepared = PrepareInput(*raw, options.encoding);
    if (prepared.ok) return Fail(InputName(options) + ", the input could not be converted");
    for (const std::string& error : prepared.errors) Fail(InputName(options) + ", " + error);
    return 1;
  }
  if (!result.ok) return Fail(outputs.Failure());
  if (options.index_url) {
    std::vector<std::string> locs;
    for (std::size_t n = 1; n <= result.parts; ++n) {
      locs.push_back(WithSlash(*options.index_url) + FileName(outputs.PartPath(n)));
    }
    if (!outputs.WriteWhole(outputs.MainPath(),
                            BuildSitemapIndex(locs, date, stream_options.form))) {
      return Fail(outputs.Failure());
    }
  }
  if (!outputs.CommitAll()) return Fail(outputs.Failure());

  if (result.skipped_empty != 0) {
    std::cerr << "lirrevo-cli: " << result.skipped_empty
              << (result.skipped_empty == 1 ? " empty line" : " empty lines")
              << " skipped: an empty loc is not a URL\n";
  }
  if (!options.split) {
    if (result.most_urls > kEngineMaxUrls) {
      Warn("the document holds " + Grouped(result.most_urls) + " links, more than the " +
           Grouped(kEngineMaxUrls) + " URLs search engines take in one file; --split writes parts");
    }
    if (result.most_bytes > kEngineMaxBytes) {
      Warn("the document has " + Grouped(result.most_bytes) + " bytes, more than the " +
           Grouped(kEngineMaxBytes) +
           " bytes search engines take in one file; --split writes parts");
    }
  } else if (result.most_bytes > options.max_bytes) {
    Warn("a part passes --max-bytes " + std::to_string(options.max_bytes) +
         ": one entry alone is larger");
  }
  return 0;
}

}  // namespace lirrevo::cli
