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

#include "core/file_output.h"
#include "core/gzip_stream.h"
#include "core/list_input.h"

namespace lirrevo::cli {
namespace {

int Fail(const std::string& message) {
  std::cerr << "lirrevo-cli: " << message << '\n';
  return 1;
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

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string WithSlash(std::string base) {
  if (!base.ends_with('/')) base += '/';
  return base;
}

// The file's name as a URL's last segment: every byte but letters, digits
// and "-._~" percent-encoded, so that a '#', '?', space or non-ASCII
// character in it means itself.
std::string UrlSegment(const std::string& name) {
  char* escaped = curl_easy_escape(nullptr, name.data(), static_cast<int>(name.size()));
  if (escaped == nullptr) throw std::bad_alloc();
  std::string segment(escaped);
  curl_free(escaped);
  return segment;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// The files of one run: OUTPUT (with .gz under --gzip) for the one document
// or the index, STEM-N.xml[.gz] for the parts.
class OutputNames {
 public:
  explicit OutputNames(const Options& options) : options_(options) {}

  std::string Main() const {
    const std::string& output = *options_.output;
    return options_.gzip && !output.ends_with(".gz") ? output + ".gz" : output;
  }

  std::string Part(std::size_t number) const {
    std::string stem = *options_.output;
    if (stem.ends_with(".gz")) stem.resize(stem.size() - 3);
    if (stem.ends_with(".xml")) stem.resize(stem.size() - 4);
    return stem + "-" + std::to_string(number) + (options_.gzip ? ".xml.gz" : ".xml");
  }

 private:
  const Options& options_;
};

// Where the parts go: files (each through its own FileOutput, put in place
// only when all are written) or standard output, compressed where asked.
class Outputs : public PartSink {
 public:
  explicit Outputs(const Options& options) : options_(options), names_(options) {}

  bool BeginPart(std::size_t number) override {
    if (!options_.output) return StartGzip();
    return OpenFile(options_.split ? names_.Part(number) : names_.Main());
  }

  bool Write(std::string_view chunk) override {
    if (!gzip_) return Raw(chunk);
    return gzip_->Write(chunk) || Failed(CurrentName());
  }

  bool EndPart() override {
    if (gzip_ && !gzip_->Finish()) return Failed(CurrentName());
    gzip_.reset();
    if (!options_.output) return std::fflush(stdout) == 0 || Failed("");
    return files_.back()->Finish() || Failed(paths_.back());
  }

  // A whole small document, such as the index, to its own file.
  bool WriteWhole(const std::string& path, std::string_view bytes) {
    return OpenFile(path) && Write(bytes) && EndPart();
  }

  // Puts every file in place, in the order written.
  bool CommitAll() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (!files_[i]->Commit()) return Failed(paths_[i]);
    }
    return true;
  }

  // What failed, for the message: "cannot write 'NAME': cause".
  std::string Failure() const {
    const std::string what = failed_path_.empty() ? "standard output" : "'" + failed_path_ + "'";
    return "cannot write " + what + ": " + std::strerror(error_);
  }

 private:
  bool OpenFile(const std::string& path) {
    files_.push_back(std::make_unique<FileOutput>());
    paths_.push_back(path);
    return (files_.back()->Open(path) || Failed(path)) && StartGzip();
  }

  bool StartGzip() {
    if (options_.gzip) {
      gzip_ = std::make_unique<GzipStream>([this](std::string_view b) { return Raw(b); });
    }
    return true;
  }

  std::string CurrentName() const { return options_.output ? paths_.back() : std::string(); }

  bool Raw(std::string_view bytes) {
    if (!options_.output) {
      return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() || Failed("");
    }
    return files_.back()->Write(bytes) || Failed(paths_.back());
  }

  bool Failed(const std::string& path) {
    if (error_ == 0) {
      error_ = errno != 0 ? errno : EIO;
      failed_path_ = path;
    }
    return false;
  }

  const Options& options_;
  OutputNames names_;
  std::vector<std::unique_ptr<FileOutput>> files_;
  std::vector<std::string> paths_;
  std::unique_ptr<GzipStream> gzip_;
  int error_ = 0;
  std::string failed_path_;
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
    Warn("the document holds " + Grouped(result.most_urls) + " links, more than the " +
         Grouped(kEngineMaxUrls) + " URLs search engines take in one file; --split writes parts");
  }
  if (result.most_bytes > kEngineMaxBytes) {
    Warn("the document has " + Grouped(result.most_bytes) + " bytes, more than the " +
         Grouped(kEngineMaxBytes) + " bytes search engines take in one file; --split writes parts");
  }
}

// Parts numbered past this run's, left from an earlier, longer one.
void WarnOfOldParts(const OutputNames& names, std::size_t parts) {
  std::size_t last = parts;
  while (Exists(names.Part(last + 1))) ++last;
  if (last == parts) return;
  const std::size_t old = last - parts;
  Warn(std::to_string(old) + (old == 1 ? " part" : " parts") +
       " of an earlier run still beside the new ones: '" + names.Part(parts + 1) + "'" +
       (old > 1 ? " to '" + names.Part(last) + "'" : ""));
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

int WriteDocuments(const Options& options, const DateTime& date,
                   const std::function<void(DocumentBuilder&)>& fill) {
  const OutputNames names(options);
  const std::string index_base = options.index_url ? WithSlash(*options.index_url) : "";
  UrlsetOptions shape;
  shape.form = options.standard ? UrlsetForm::kStandard : UrlsetForm::kDeadLink;
  if (options.split) {
    shape.max_urls = options.max_urls;
    shape.max_bytes = options.max_bytes;
  }
  Outputs outputs(options);
  DocumentBuilder builder(DocumentKind::kUrlset, date, shape, outputs);
  fill(builder);
  const UrlsetResult result = builder.Finish();
  if (!result.ok) return Fail(outputs.Failure());
  if (options.index_url) {
    std::vector<std::string> locs;
    for (std::size_t n = 1; n <= result.parts; ++n) {
      locs.push_back(index_base + UrlSegment(FileName(names.Part(n))));
    }
    if (!outputs.WriteWhole(names.Main(), BuildSitemapIndex(locs, date, shape.form))) {
      return Fail(outputs.Failure());
    }
  }
  if (!outputs.CommitAll()) return Fail(outputs.Failure());
  if (options.output) TellWritten(options, names, result.parts);
  WarnOfLimits(options, result);
  if (options.split) WarnOfOldParts(names, result.parts);
  return 0;
}

}  // namespace lirrevo::cli
