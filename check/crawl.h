// A site crawled as a search engine's crawler crawls it: its pages read from
// its start addresses, level by level, their links found and every one judged
// by the check's rules, robots.txt obeyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check/link_check.h"
#include "check/robots_txt.h"

namespace lirrevo::check {

struct CrawlSettings {
  std::vector<std::string> starts;    // absolute http or https URLs
  std::size_t max_pages = 100000;     // pages read at most
  std::optional<std::size_t> depth;   // of the pages read below a start; none: no bound
  std::vector<std::string> excluded;  // globs (fnmatch) on the URL: neither asked nor read
  bool external = false;              // links to other sites asked too
  bool sitemaps = false;              // the locs of the sitemaps robots.txt names are starts too
  std::string agent = "lirrevo";      // the product token robots.txt names
};

// What a crawl left out, and what it read.
struct CrawlTally {
  std::size_t pages = 0;       // read
  std::size_t external = 0;    // links to other sites not asked (no --external)
  std::size_t disallowed = 0;  // robots.txt disallows them: not asked
  std::size_t excluded = 0;
  std::vector<std::string> notes;  // robots.txt or sitemaps that could not be read
};

// The links of a site's pages as a check's feed. A link is the site's own
// when it has a start's scheme, host and port; a page is read when it is
// under a start's folder, within the depth and the page bound, and was not
// found only on pages whose robots meta tag says nofollow.
class SiteCrawl final : public LinkFeed {
 public:
  // check: the settings the sitemaps are fetched with.
  SiteCrawl(CrawlSettings settings, const CheckSettings& check);
  ~SiteCrawl() override;
  SiteCrawl(const SiteCrawl&) = delete;
  SiteCrawl& operator=(const SiteCrawl&) = delete;

  // Why a start cannot be crawled ("not an http or https URL: ..."), or nothing.
  static std::optional<std::string> StartProblem(const std::string& start);

  std::span<const std::string_view> Links() const override { return views_; }
  std::vector<std::string> Files() override;
  double TakeFile(std::size_t file, long status, std::string_view text) override;
  std::vector<std::size_t> NextWave() override;
  std::vector<std::size_t> MoreLinks() override;
  bool WantsPage(std::size_t link) override;
  // Pages are parsed on threads of their own; their links join at the next Files.
  void TakePage(std::size_t link, const std::string& url, std::string html) override;
  void TakeRedirect(std::size_t link, const std::string& target) override;

  // Whether the link is on one of the starts' sites.
  bool IsOwn(std::size_t link) const { return found_[link].own; }
  // Where to fix the link: "linked from URL (and 3 more pages)", "listed in
  // SITEMAP", or empty for a start.
  std::string FoundOn(std::size_t link) const;
  const CrawlTally& Tally() const { return tally_; }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // A link's place in the crawl: a few bytes beside its URL.
  struct Found {
    std::uint32_t from = kNone;  // the first page that links to it, or sitemap
    std::uint32_t pages = 0;     // that link to it
    std::uint32_t depth = 0;     // of its first finding
    bool from_sitemap = false;
    bool own = false;
    bool in_scope = false;  // under a start's folder
    bool followed = false;  // found on a page whose links may be followed
    bool asked = false;
  };

  struct Robots {
    std::optional<RobotsRules> rules;  // none while robots.txt is not read
    bool sitemaps_read = false;
  };

  class Parsers;
  struct Parsed;
  void AddLinks(std::vector<Parsed> pages);
  // The pending links to ask, the others counted; with known_only, those
  // whose robots.txt is not known yet stay pending.
  std::vector<std::size_t> Select(bool known_only);
  void Add(const std::string& url, std::uint32_t from, bool from_sitemap, std::uint32_t depth,
           bool followed);
  bool Excluded(std::string_view url) const;
  Robots* RobotsOf(std::string_view url);
  void ReadSitemaps(const RobotsRules& rules);

  CrawlSettings settings_;
  const CheckSettings& check_;
  std::vector<std::string> scopes_;   // the starts' folders
  std::vector<std::string> origins_;  // the starts' "scheme://host[:port]/"
  std::deque<std::string> urls_;
  std::vector<std::string_view> views_;
  std::unordered_map<std::string_view, std::uint32_t> ids_;
  std::vector<Found> found_;
  std::vector<std::uint32_t> pending_;              // found since the last wave
  std::unordered_map<std::string, Robots> robots_;  // by origin
  std::vector<std::string> files_;                  // asked this round, by index
  std::vector<std::string> sitemap_urls_;
  CrawlTally tally_;
  std::unique_ptr<Parsers> parsers_;
};

}  // namespace lirrevo::check
