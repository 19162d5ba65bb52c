#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "check/crawl.h"
#include "check/link_check.h"
#include "cli/check_run.h"
#include "cli/commands.h"
#include "cli/document_output.h"
#include "cli/messages.h"
#include "cli/verdict_report.h"
#include "core/document/link_list.h"

namespace lirrevo::cli {

using check::LinkClass;
using check::LinkVerdict;
namespace {

volatile std::sig_atomic_t interrupted = 0;

void Interrupt(int) { interrupted = 1; }

// While it lives, SIGINT and SIGTERM end the crawl, not the process.
class StopOnInterrupt {
 public:
  StopOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = Interrupt;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < 2; ++i) sigaction(kSignals[i], &action, &old_[i]);
  }
  ~StopOnInterrupt() {
    for (std::size_t i = 0; i < 2; ++i) sigaction(kSignals[i], &old_[i], nullptr);
  }
  StopOnInterrupt(const StopOnInterrupt&) = delete;
  StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

 private:
  static constexpr int kSignals[2] = {SIGINT, SIGTERM};
  struct sigaction old_[2]{};
};

// "120 pages read, 3,456 links found (12 to other sites not checked, ...)".
std::string TallyText(const check::CrawlTally& tally, std::size_t links) {
  std::string text = Counted(tally.pages, "page", "pages") + " read, " +
                     Counted(links, "link", "links") + " found";
  const std::pair<std::size_t, const char*> left[] = {
      {tally.external, " to other sites not checked (--external)"},
      {tally.disallowed, " robots.txt disallows"},
      {tally.excluded, " excluded"}};
  std::string listed;
  for (const auto& [count, what] : left) {
    if (count > 0) listed += (listed.empty() ? " (" : ", ") + GroupThousands(count) + what;
  }
  return text + listed + (listed.empty() ? "" : ")");
}

}  // namespace

int RunCrawl(const Options& options) {
  for (const std::string& start : options.inputs) {
    if (const auto problem = check::SiteCrawl::StartProblem(start)) return Fail(*problem);
  }
  const AskingRun run(options);
  if (run.exit_code) return *run.exit_code;
  check::CheckSettings settings = AskingSettings(options);
  settings.stop = &interrupted;
  check::SiteCrawl site({.starts = options.inputs,
                         .max_pages = options.max_pages,
                         .depth = options.depth,
                         .excluded = options.excluded,
                         .external = options.external,
                         .sitemaps = options.sitemaps},
                        settings);
  const auto link = [&](std::size_t i) { return site.Links()[i]; };
  Report report(
      link, [&] { return site.Links().size(); }, options.format, false);
  std::vector<bool> dead;  // by link: dead, and the site's own
  // The lines wait for the crawl's end, when every page that links to them is known.
  std::vector<std::pair<std::size_t, LinkVerdict>> broken;
  std::optional<std::string> failure;
  {
    const StopOnInterrupt stop;
    failure = check::CheckFeed(site, settings, [&](std::size_t i, LinkVerdict verdict) {
      if (verdict.link_class == LinkClass::kDead && site.IsOwn(i)) {
        if (dead.size() <= i) dead.resize(i + 1);
        dead[i] = true;
      }
      if (verdict.link_class != LinkClass::kAlive) broken.emplace_back(i, verdict);
      report.Take(i, std::move(verdict));
    });
  }
  std::ranges::sort(broken, {}, [](const auto& line) { return line.first; });
  for (auto& [i, verdict] : broken) {
    if (const std::string found = site.FoundOn(i); !found.empty()) {
      verdict.detail += (verdict.detail.empty() ? "" : "; ") + found;
    }
    report.Line(i, verdict);
  }
  for (const std::string& note : site.Tally().notes) Warn(note);
  Say(TallyText(site.Tally(), site.Links().size()));
  report.Summarise();
  const std::string not_written =
      options.output ? "; '" + *options.output + "' was not written" : "";
  if (failure && *failure == check::kInterrupted) return Fail("interrupted" + not_written, 130);
  if (failure) return Fail(*failure + not_written);
  if (std::ferror(stdout) != 0) return Fail(CannotWriteStandardOutput());
  if (options.output && site.Tally().pages == 0) {
    return Fail("no page of the site was read" + not_written);
  }
  if (options.output && WriteDocuments(options, *run.date, [&](DocumentBuilder& builder) {
                          for (std::size_t i = 0; i < dead.size(); ++i) {
                            if (dead[i]) builder.Add(link(i));
                          }
                        }) != 0) {
    return kTrouble;
  }
  const bool any_broken = std::ranges::any_of(
      broken, [](const auto& line) { return line.second.link_class != LinkClass::kRedirect; });
  return any_broken ? 1 : 0;
}

}  // namespace lirrevo::cli
