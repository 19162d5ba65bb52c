// The asking of links that check, update and crawl share.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "check/link_check.h"
#include "cli/arguments.h"
#include "core/document/sitemap_document.h"

namespace lirrevo::cli {

// What must hold before a link is asked (standard output open, --cacert a
// file of certificates, options.output writable), then, with -o, the
// document's date taken and the outputs checked; libcurl set up for as long
// as the result lives.
// exit_code is the code after the message of what does not hold, or nothing.
struct AskingRun {
  explicit AskingRun(const Options& options);
  ~AskingRun();
  AskingRun(const AskingRun&) = delete;
  AskingRun& operator=(const AskingRun&) = delete;
  std::optional<int> exit_code;
  std::optional<DateTime> date;  // with -o

 private:
  bool curl_ = false;
};

// The check's settings from options' --concurrency (as far as the process's
// open files allow, with a warning where they do not), --timeout, --cacert
// and --rate, and the check's user agent.
check::CheckSettings AskingSettings(const Options& options);

// Removes the later copies of each link, the first kept in its place, and
// says on standard error how many it removed.
void DropDuplicates(std::vector<std::string_view>& links);

// Within an AskingRun, asks the links as check does, with options'
// --concurrency, --timeout, --cacert and --rate: a progress line on a
// terminal, the verdict lines on standard output where print is set, the
// summary on standard error, and seen(index, verdict) for each link as its
// verdict is known. The exit code after the message of what stopped it, or
// nothing.
std::optional<int> AskLinks(
    std::span<const std::string_view> links, const Options& options, bool print,
    const std::function<void(std::size_t, const check::LinkVerdict&)>& seen);

}  // namespace lirrevo::cli
