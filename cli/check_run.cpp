#include "cli/check_run.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "check/link_check.h"
#include "check/sitemap_input.h"
#include "cli/cli_input.h"
#include "cli/commands.h"
#include "cli/document_output.h"
#include "cli/messages.h"
#include "cli/verdict_report.h"
#include "core/document/list_input.h"
#include "core/version.h"

namespace lirrevo::cli {

using check::CheckSettings;
using check::LinkClass;
using check::LinkVerdict;
using check::ReadSitemapLocs;
namespace {

// Why the file cannot serve as --cacert, or nothing: it must be a readable
// file that holds a PEM certificate.
std::optional<std::string> CacertProblem(const std::string& name) {
  const std::string what = "--cacert '" + name + "': ";
  struct stat st {};
  if (stat(name.c_str(), &st) != 0) return what + std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return what + "not a file";
  std::ifstream file(name, std::ios::binary);
  if (!file) return what + std::strerror(errno);
  constexpr std::string_view kMarker = "-----BEGIN CERTIFICATE-----";
  std::string text;
  std::array<char, 65536> block;
  while (file.read(block.data(), block.size()) || file.gcount() > 0) {
    // Only the marker's length less one byte is kept from block to block.
    text.erase(0, text.size() - std::min(text.size(), kMarker.size() - 1));
    text.append(block.data(), static_cast<std::size_t>(file.gcount()));
    if (text.find(kMarker) != std::string::npos) return std::nullopt;
  }
  if (file.bad()) return what + std::strerror(errno);
  return what + "holds no PEM certificate";
}

// Why -o cannot be written, found without creating or changing a file:
// its folder takes new files, or, without --split, the file exists and may
// be written in place. Nothing when it looks writable.
std::optional<std::string> OutputProblem(const Options& options) {
  const std::string& name = *options.output;
  const std::string what = "cannot write '" + name + "': ";
  const std::filesystem::path parent = std::filesystem::path(name).parent_path();
  const std::string folder = parent.empty() ? "." : parent.string();
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0) return what + std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return what + std::strerror(ENOTDIR);
  if (stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return what + std::strerror(EISDIR);
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return std::nullopt;
  const int folder_error = errno;
  if (!options.split && faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0) {
    return std::nullopt;
  }
  return what + std::strerror(folder_error);
}

// Every request holds a descriptor, and a name lookup may hold two more: the
// soft limit is raised, within the hard one, so that the concurrency asked
// for has enough of them. Where it cannot be, fewer requests are asked at
// once, with a warning; the concurrency that the descriptors allow.
int AllowDescriptorsFor(int concurrency) {
  constexpr rlim_t kPerRequest = 3;
  constexpr rlim_t kKept = 16;  // the standard streams, libcurl's own, the output
  rlimit limit{};
  const rlim_t wanted = static_cast<rlim_t>(concurrency) * kPerRequest + kKept;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return concurrency;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
  setrlimit(RLIMIT_NOFILE, &limit);
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return concurrency;
  const rlim_t room = limit.rlim_cur > kKept ? (limit.rlim_cur - kKept) / kPerRequest : 1;
  const int allowed = static_cast<int>(std::max<rlim_t>(room, 1));
  Warn(std::to_string(limit.rlim_cur) + " open files allowed (ulimit -n): " +
       std::to_string(allowed) + " requests at once, not " + std::to_string(concurrency));
  return allowed;
}

CheckSettings SettingsOf(const Options& options) {
  return {.concurrency = options.concurrency,
          .rate = options.rate,
          .timeout_ms = std::max(1L, std::lround(options.timeout_seconds * 1000)),
          .cacert = options.cacert,
          .user_agent = "Lirrevo/" LIRREVO_VERSION " (dead-link check)"};
}

}  // namespace

CheckSettings AskingSettings(const Options& options) {
  Options allowed = options;
  allowed.concurrency = AllowDescriptorsFor(options.concurrency);
  return SettingsOf(allowed);
}

// Links are sorted by a hash, not held in a set: a few bytes a link.
void DropDuplicates(std::vector<std::string_view>& links) {
  std::vector<std::pair<std::size_t, std::size_t>> keyed(links.size());  // (hash, position)
  for (std::size_t i = 0; i < links.size(); ++i) {
    keyed[i] = {std::hash<std::string_view>{}(links[i]), i};
  }
  // Equal links fall side by side, the first in the list before its copies.
  std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    return std::tie(a.first, links[a.second], a.second) <
           std::tie(b.first, links[b.second], b.second);
  });
  std::vector<bool> copy(links.size());
  std::size_t copies = 0;
  for (std::size_t j = 1; j < keyed.size(); ++j) {
    const auto& [hash, at] = keyed[j];
    if (hash == keyed[j - 1].first && links[at] == links[keyed[j - 1].second]) {
      copy[at] = true;
      ++copies;
    }
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < links.size(); ++i) {
    if (!copy[i]) links[kept++] = links[i];
  }
  links.resize(kept);
  if (copies > 0) {
    Say(Counted(copies, "duplicate link", "duplicate links") +
        " skipped: each link is checked once");
  }
}

AskingRun::AskingRun(const Options& options) {
  using Problem = std::optional<std::string>;
  // Closed, descriptor 1 would go to the next file or socket opened.
  if (fcntl(STDOUT_FILENO, F_GETFD) == -1) {
    exit_code = Fail("standard output is closed");
  } else if (const Problem cacert = options.cacert ? CacertProblem(*options.cacert) : Problem()) {
    exit_code = Fail(*cacert);
  } else if (const Problem output = options.output ? OutputProblem(options) : Problem()) {
    exit_code = Fail(*output);
  } else if (options.output && !(date = DocumentDate())) {
    exit_code = kTrouble;
  } else if (const int refused = date ? CheckOutputs(options, *date) : 0) {
    exit_code = refused;
  } else if (!(curl_ = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK)) {
    exit_code = Fail("libcurl could not start");
  }
}

AskingRun::~AskingRun() {
  if (curl_) curl_global_cleanup();
}

std::optional<int> AskLinks(std::span<const std::string_view> links, const Options& options,
                            bool print,
                            const std::function<void(std::size_t, const LinkVerdict&)>& seen) {
  Report report([&](std::size_t i) { return links[i]; }, [&] { return links.size(); },
                print ? std::optional(options.format) : std::nullopt, true);
  const std::optional<std::string> failure =
      check::CheckLinks(links, AskingSettings(options), [&](std::size_t i, LinkVerdict v) {
        seen(i, v);
        report.Take(i, std::move(v));
      });
  if (failure) return Fail(*failure);
  report.Summarise();
  if (std::ferror(stdout) != 0) return Fail(CannotWriteStandardOutput());
  return std::nullopt;
}

int RunCheck(const Options& options) {
  const AskingRun run(options);
  if (run.exit_code) return *run.exit_code;
  // The list, or the sitemap's locs one a line.
  std::optional<DecodedList> list;
  std::optional<check::SitemapLocs> sitemap;
  std::string error;
  if (options.sitemap && !(sitemap = ReadSitemapLocs(options.input, SettingsOf(options), error))) {
    return Fail(error);
  }
  if (!options.sitemap && !(list = ReadList(options))) return kTrouble;
  for (const std::string& skipped : sitemap ? sitemap->skipped : std::vector<std::string>{}) {
    Say(skipped);
  }
  std::vector<std::string_view> links;
  ForEachLine(sitemap ? std::string_view(sitemap->locs) : list->Utf8(), LineBreaks::kAny,
              [&](std::string_view line) { links.push_back(line); });
  DropDuplicates(links);
  // A document of no dead link would replace a good one with an empty one.
  if (options.output && links.empty()) {
    return Fail("no link to check; '" + *options.output + "' was not written");
  }
  std::vector<bool> dead(links.size());
  bool answered = false;
  bool all_dead = true;
  if (const std::optional<int> trouble =
          AskLinks(links, options, true, [&](std::size_t i, const LinkVerdict& v) {
            dead[i] = v.link_class == LinkClass::kDead;
            answered = answered || v.code != 0;
            all_dead = all_dead && dead[i];
          })) {
    return *trouble;
  }
  if (options.output && !answered) {
    return Fail("no link got an answer from its server; '" + *options.output + "' was not written");
  }
  if (options.output && WriteDocuments(options, *run.date, [&](DocumentBuilder& builder) {
                          for (std::size_t i = 0; i < links.size(); ++i) {
                            if (dead[i]) builder.Add(links[i]);
                          }
                        }) != 0) {
    return kTrouble;
  }
  if (const std::size_t skipped = sitemap ? sitemap->skipped.size() : 0; skipped > 0) {
    return Fail(std::to_string(skipped) + " sitemap" + (skipped == 1 ? " was" : "s were") +
                " skipped: the links checked are those of the sitemaps read");
  }
  return all_dead ? 0 : 1;
}

}  // namespace lirrevo::cli
