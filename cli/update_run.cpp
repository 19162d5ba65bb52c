#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/link_check.h"
#include "check/sitemap_input.h"
#include "cli/check_run.h"
#include "cli/cli_input.h"
#include "cli/commands.h"
#include "cli/document_output.h"
#include "cli/messages.h"
#include "core/document/link_list.h"
#include "core/document/list_input.h"

namespace lirrevo::cli {

using check::ClassName;
using check::DeadLinkFile;
using check::LinkClass;
using check::LinkVerdict;
using check::ReadDeadLinkFile;
namespace {

// Takes the form of the file that exists into options; why it cannot, or
// nothing.
std::optional<std::string> TakeForm(const DeadLinkFile& file, Options& options) {
  const std::string& name = *options.output;
  if (options.gzip || options.standard || options.split || options.index_url) {
    return "'" + name +
           "' exists, and update keeps its form: --gzip, --standard, --split and --index-url "
           "shape a new file";
  }
  if (file.gzip && !name.ends_with(".gz")) {
    return "'" + name + "' is gzip, but its name does not end in .gz";
  }
  options.gzip = file.gzip;
  options.standard = file.standard;
  options.index_url = file.index_url;
  options.split = file.index_url.has_value();
  // The parts are cut where the earlier run cut them, unless told otherwise.
  if (options.split && !options.limits_given && file.parts > 1) {
    options.max_urls = file.first_part_urls;
  }
  return std::nullopt;
}

// What became of the links, for the summary.
struct Changes {
  std::size_t written = 0;
  std::size_t added = 0;
  std::size_t came_back = 0;
  std::size_t kept_unasked = 0;
};

void Tell(std::string_view what, std::string_view link, const LinkVerdict& verdict) {
  Say(std::string(what) + ": " + std::string(link) + " (" +
      std::string(ClassName(verdict.link_class)) + " " + std::to_string(verdict.code) +
      (verdict.detail.empty() ? "" : ": " + verdict.detail) + ")");
}

void Summarise(const std::string& name, const Changes& changes, bool written) {
  std::fprintf(stderr, "%s: %s dead %s (+%s new, \u2212%s came back, %s not asked and kept)%s\n",
               name.c_str(), GroupThousands(changes.written).c_str(),
               changes.written == 1 ? "link" : "links", GroupThousands(changes.added).c_str(),
               GroupThousands(changes.came_back).c_str(),
               GroupThousands(changes.kept_unasked).c_str(), written ? "" : ", unchanged");
}

}  // namespace

int RunUpdate(const Options& given) {
  const std::string& name = *given.output;
  std::string error;
  const std::optional<DeadLinkFile> file = ReadDeadLinkFile(name, error);
  if (!file) return Fail(error);
  Options options = given;
  if (file->exists) {
    if (const std::optional<std::string> problem = TakeForm(*file, options)) return Fail(*problem);
  }
  const AskingRun run(options);
  if (run.exit_code) return *run.exit_code;

  std::vector<std::string_view> held;  // the file's links as they stand
  ForEachLine(file->locs, LineBreaks::kAny, [&](std::string_view line) { held.push_back(line); });
  std::vector<std::string_view> links = held;
  std::vector<DecodedList> lists;
  lists.reserve(options.inputs.size());  // never moved: links are views into them
  for (const std::string& input : options.inputs) {
    Options one = options;
    one.input = input;
    std::optional<DecodedList> list = ReadList(one);
    if (!list) return kTrouble;
    ForEachLine(lists.emplace_back(*std::move(list)).Utf8(), LineBreaks::kAny,
                [&](std::string_view l) { links.push_back(l); });
  }
  DropDuplicates(links);
  if (links.empty() && !file->exists) {
    return Fail("no link to check; '" + name + "' was not made");
  }
  // The file's links are views into its text, and come first.
  const auto from_file = [&](std::string_view link) {
    return link.data() >= file->locs.data() && link.data() < file->locs.data() + file->locs.size();
  };

  std::vector<LinkVerdict> verdicts(links.size());
  if (const std::optional<int> trouble = AskLinks(
          links, options, false, [&](std::size_t i, const LinkVerdict& v) { verdicts[i] = v; })) {
    return *trouble;
  }
  bool answered = links.empty();
  bool all_dead = true;
  Changes changes;
  std::vector<std::string_view> kept;
  for (std::size_t i = 0; i < links.size(); ++i) {
    const LinkVerdict& verdict = verdicts[i];
    const bool dead = verdict.link_class == LinkClass::kDead;
    // An error or an invalid link got no verdict: it is not known to be alive.
    const bool unasked =
        verdict.link_class == LinkClass::kError || verdict.link_class == LinkClass::kInvalid;
    answered = answered || verdict.code != 0;
    all_dead = all_dead && dead;
    if (from_file(links[i])) {
      if (dead || unasked) kept.push_back(links[i]);
      if (unasked) Tell("not asked, kept", links[i], verdict), ++changes.kept_unasked;
      if (!dead && !unasked) Tell("came back, taken out", links[i], verdict), ++changes.came_back;
    } else if (dead) {
      kept.push_back(links[i]);
      ++changes.added;
    } else if (unasked) {
      Tell("not asked, left out", links[i], verdict);
    }
  }
  // With every server silent, the file is left as it was, not emptied.
  if (!answered) {
    return Fail("no link got an answer from its server; '" + name + "' was left as it was");
  }
  changes.written = kept.size();
  const bool changed = !file->exists || kept != held;
  if (changed && WriteDocuments(options, *run.date, [&](DocumentBuilder& builder) {
                   for (const std::string_view link : kept) builder.Add(link);
                 }) != 0) {
    return kTrouble;
  }
  Summarise(name, changes, changed);
  return all_dead ? 0 : 1;
}

}  // namespace lirrevo::cli
