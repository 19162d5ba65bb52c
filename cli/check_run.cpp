#include "cli/check_run.h"

#include <curl/curl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_input.h"
#include "cli/document_output.h"
#include "cli/link_check.h"
#include "core/list_input.h"
#include "core/version.h"

namespace lirrevo::cli {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "lirrevo-cli: %s\n", message.c_str());
  return 1;
}

// Prints the verdicts in input order as soon as each one's turn comes, and a
// progress line on a terminal.
class Report {
 public:
  explicit Report(const std::vector<std::string>& links)
      : links_(links), verdicts_(links.size()), progress_(isatty(STDERR_FILENO) == 1) {}

  void Take(std::size_t index, LinkVerdict verdict) {
    verdicts_[index] = verdict;
    ++counts_[static_cast<std::size_t>(verdict.link_class)];
    ++settled_;
    while (next_ < verdicts_.size() && verdicts_[next_]) {
      const LinkVerdict& v = *verdicts_[next_];
      std::printf("%s\t%ld\t%s\n", ClassName(v.link_class).data(), v.code, links_[next_].c_str());
      ++next_;
    }
    std::fflush(stdout);
    ShowProgress();
  }

  // The counts per class and the time taken, on standard error.
  void Summarise() const {
    if (progress_) std::fputs("\r\033[K", stderr);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "%zu %s checked in %.1f s:", links_.size(),
                 links_.size() == 1 ? "link" : "links", seconds);
    for (std::size_t c = 0; c < counts_.size(); ++c) {
      std::fprintf(stderr, "%s %zu %s", c == 0 ? "" : ",", counts_[c],
                   ClassName(static_cast<LinkClass>(c)).data());
    }
    std::fputc('\n', stderr);
  }

  bool AllDead() const { return counts_[0] == links_.size(); }
  const std::optional<LinkVerdict>& Verdict(std::size_t index) const { return verdicts_[index]; }

 private:
  void ShowProgress() {
    const auto now = std::chrono::steady_clock::now();
    if (!progress_ ||
        (settled_ != links_.size() && now - shown_ < std::chrono::milliseconds(200))) {
      return;
    }
    shown_ = now;
    std::fprintf(stderr, "\r\033[Kchecked %zu of %zu, %zu dead", settled_, links_.size(),
                 counts_[0]);
  }

  const std::vector<std::string>& links_;
  std::vector<std::optional<LinkVerdict>> verdicts_;
  std::array<std::size_t, 5> counts_{};  // by LinkClass
  std::size_t settled_ = 0;
  std::size_t next_ = 0;
  bool progress_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point shown_{};
};

}  // namespace

int RunCheck(const Options& options) {
  std::optional<DateTime> date;
  if (options.output && !(date = DocumentDate())) return 1;
  if (const int refused = date ? CheckOutputs(options, *date) : 0) return refused;
  if (options.cacert) {
    std::FILE* file = std::fopen(options.cacert->c_str(), "rb");
    if (file == nullptr)
      return Fail("cannot read '" + *options.cacert + "': " + std::strerror(errno));
    std::fclose(file);
  }
  std::vector<std::string> links;
  if (const std::optional<DecodedList> list = ReadList(options)) {
    ForEachLine(list->Utf8(), LineBreaks::kAny,
                [&](std::string_view line) { links.emplace_back(line); });
  } else {
    return 1;
  }

  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return Fail("libcurl could not start");
  CheckSettings settings;
  settings.concurrency = options.concurrency;
  settings.timeout_ms = std::max(1L, std::lround(options.timeout_seconds * 1000));
  settings.cacert = options.cacert;
  settings.user_agent = "Lirrevo/" LIRREVO_VERSION " (dead-link check)";
  Report report(links);
  const bool checked =
      CheckLinks(links, settings, [&](std::size_t i, LinkVerdict v) { report.Take(i, v); });
  curl_global_cleanup();
  if (!checked) return Fail("libcurl could not make a request");
  report.Summarise();
  if (std::ferror(stdout) != 0) {
    return Fail(std::string("cannot write standard output: ") + std::strerror(errno));
  }
  if (options.output) {
    const int written = WriteDocuments(options, *date, [&](DocumentBuilder& builder) {
      for (std::size_t i = 0; i < links.size(); ++i) {
        const std::optional<LinkVerdict>& verdict = report.Verdict(i);
        if (verdict && verdict->link_class == LinkClass::kDead) builder.Add(links[i]);
      }
    });
    if (written != 0) return written;
  }
  return report.AllDead() ? 0 : 1;
}

}  // namespace lirrevo::cli
