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

#include "cli/generate_run.h"
#include "cli/link_check.h"
#include "core/link_list.h"
#include "core/output_encoding.h"
#include "core/version.h"

namespace lirrevo::cli {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "lirrevo-cli: %s\n", message.c_str());
  return 1;
}

// The lines of UTF-8 text with CR LF breaks, split as the link list is.
std::vector<std::string> Utf8Lines(std::string_view utf8) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t cut; (cut = utf8.find("\r\n", start)) != std::string_view::npos;
       start = cut + 2) {
    lines.emplace_back(utf8.substr(start, cut - start));
  }
  if (start < utf8.size()) lines.emplace_back(utf8.substr(start));
  return lines;
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

// The system's text of the dead lines, in their order, with CR LF breaks: the
// list the document is built from.
std::string DeadText(std::string_view text, const Report& report) {
  std::string dead;
  std::size_t index = 0;
  ForEachLink(text, [&](std::string_view link) {
    const std::optional<LinkVerdict>& verdict = report.Verdict(index++);
    if (verdict && verdict->link_class == LinkClass::kDead) {
      dead.append(link);
      dead += "\r\n";
    }
  });
  return dead;
}

}  // namespace

int RunCheck(const Options& options) {
  std::optional<std::function<DateTime()>> clock;
  if (options.output && !(clock = DocumentClock())) return 1;
  if (options.cacert) {
    std::FILE* file = std::fopen(options.cacert->c_str(), "rb");
    if (file == nullptr)
      return Fail("cannot read '" + *options.cacert + "': " + std::strerror(errno));
    std::fclose(file);
  }
  const std::optional<std::string> text = ReadListText(options);
  if (!text) return 1;
  const std::optional<std::string> utf8 = TextToUtf8(*text);
  if (!utf8) return Fail("the input could not be converted to UTF-8");
  const std::vector<std::string> links = Utf8Lines(*utf8);

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
  if (options.output && WriteDocument(DeadText(*text, report), *clock, options.output) != 0) {
    return 1;
  }
  return report.AllDead() ? 0 : 1;
}

}  // namespace lirrevo::cli
