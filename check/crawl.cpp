#include "check/crawl.h"

#include <fnmatch.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "check/page_links.h"
#include "check/sitemap_input.h"
#include "check/url.h"
#include "core/document/list_input.h"

namespace lirrevo::check {
namespace {

// "scheme://host[:port]/" of an absolute URL as the URL parser writes it.
std::string_view OriginOf(std::string_view url) {
  const std::size_t authority = url.find("://");
  if (authority == std::string_view::npos) return {};
  const std::size_t path = url.find('/', authority + 3);
  return path == std::string_view::npos ? url : url.substr(0, path + 1);
}

// The path and query that a request for url sends, from its '/'.
std::string_view RequestPathOf(std::string_view url) {
  const std::string_view origin = OriginOf(url);
  if (origin.empty()) return "/";
  url.remove_prefix(origin.size() - 1);
  return url.substr(0, url.find('#'));
}

bool StartsWithAny(std::string_view url, const std::vector<std::string>& prefixes) {
  return std::ranges::any_of(prefixes, [&](const auto& prefix) { return url.starts_with(prefix); });
}

}  // namespace

// Parses the pages read on threads of their own while the check goes on: an
// HTML parser builds the whole tree, which costs more than asking for a page.
struct SiteCrawl::Parsed {
  std::size_t link;
  PageLinks page;
};

class SiteCrawl::Parsers {
 public:
  Parsers() {
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency() - 1);
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~Parsers() {
    {
      const std::lock_guard lock(mutex_);
      ending_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  void Submit(std::size_t link, std::string url, std::string html) {
    {
      const std::lock_guard lock(mutex_);
      pages_.push_back({link, std::move(url), std::move(html)});
      ++unfinished_;
    }
    wake_.notify_one();
  }

  // The pages parsed so far; with wait, once every page submitted is.
  std::vector<Parsed> Take(bool wait) {
    std::unique_lock lock(mutex_);
    if (wait) done_.wait(lock, [&] { return unfinished_ == 0; });
    return std::exchange(parsed_, {});
  }

 private:
  struct Page {
    std::size_t link;
    std::string url;
    std::string html;
  };

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return ending_ || !pages_.empty(); });
      if (pages_.empty()) return;
      Page page = std::move(pages_.front());
      pages_.pop_front();
      lock.unlock();
      Parsed parsed{page.link, LinksOf(page.html, page.url)};
      lock.lock();
      parsed_.push_back(std::move(parsed));
      if (--unfinished_ == 0) done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<Page> pages_;
  std::vector<Parsed> parsed_;
  std::size_t unfinished_ = 0;
  bool ending_ = false;
  std::vector<std::thread> threads_;
};

SiteCrawl::~SiteCrawl() = default;

SiteCrawl::SiteCrawl(CrawlSettings settings, const CheckSettings& check)
    : settings_(std::move(settings)), check_(check), parsers_(std::make_unique<Parsers>()) {
  for (const std::string& start : settings_.starts) {
    const std::string url = TargetOf(start)->url;
    scopes_.push_back(FolderOf(url).value_or(url));
    origins_.emplace_back(OriginOf(url));
  }
  for (const std::string& start : settings_.starts) Add(start, kNone, false, 0, true);
}

std::optional<std::string> SiteCrawl::StartProblem(const std::string& start) {
  if (!NamesHttp(start) || !TargetOf(start)) return "not an http or https URL: '" + start + "'";
  return std::nullopt;
}

void SiteCrawl::Add(const std::string& link, std::uint32_t from, bool from_sitemap,
                    std::uint32_t depth, bool followed) {
  const bool by_page = from != kNone && !from_sitemap;
  // A page's links are mostly known already, and as the check would ask them:
  // the URL parser runs only on the new ones.
  auto it = ids_.find(link);
  std::optional<Target> target;
  if (it == ids_.end() && (target = TargetOf(link))) it = ids_.find(target->url);
  const std::string& url = target ? target->url : link;
  if (it != ids_.end()) {
    Found& found = found_[it->second];
    if (by_page && from != it->second) ++found.pages;
    // A page first found where it was not to be followed is followed after all.
    if (!found.asked && followed) found.followed = true;
    return;
  }
  const auto id = static_cast<std::uint32_t>(found_.size());
  urls_.push_back(url);
  views_.push_back(urls_.back());
  ids_.emplace(views_.back(), id);
  Found found;
  found.from = from;
  found.pages = by_page ? 1 : 0;
  found.depth = depth;
  found.from_sitemap = from_sitemap;
  found.own = StartsWithAny(url, origins_);
  found.in_scope = StartsWithAny(url, scopes_);
  found.followed = followed;
  found_.push_back(found);
  pending_.push_back(id);
}

bool SiteCrawl::Excluded(std::string_view url) const {
  const std::string whole(url);
  const std::string path(RequestPathOf(url));
  return std::any_of(settings_.excluded.begin(), settings_.excluded.end(), [&](const auto& glob) {
    return fnmatch(glob.c_str(), glob.starts_with('/') ? path.c_str() : whole.c_str(), 0) == 0;
  });
}

SiteCrawl::Robots* SiteCrawl::RobotsOf(std::string_view url) {
  const auto it = robots_.find(std::string(OriginOf(url)));
  return it == robots_.end() ? nullptr : &it->second;
}

void SiteCrawl::AddLinks(std::vector<Parsed> pages) {
  for (Parsed& parsed : pages) {
    const std::uint32_t depth = found_[parsed.link].depth + 1;
    for (const std::string& found : parsed.page.links) {
      Add(found, static_cast<std::uint32_t>(parsed.link), false, depth, !parsed.page.nofollow);
    }
  }
}

std::vector<std::string> SiteCrawl::Files() {
  AddLinks(parsers_->Take(true));
  files_.clear();
  for (const std::uint32_t id : pending_) {
    const Found& found = found_[id];
    if (found.asked || (!found.own && !settings_.external) || Excluded(views_[id])) continue;
    const std::string origin(OriginOf(views_[id]));
    if (origin.empty() || robots_.contains(origin)) continue;
    robots_.emplace(origin, Robots{});
    files_.push_back(origin + "robots.txt");
  }
  return files_;
}

double SiteCrawl::TakeFile(std::size_t file, long status, std::string_view text) {
  const std::string& url = files_[file];
  Robots& robots = robots_[std::string(OriginOf(url))];
  if (status >= 200 && status < 300) {
    robots.rules = ParseRobots(text, settings_.agent);
  } else if ((status >= 400 && status < 500) || status == 0) {
    // No robots.txt: every page may be fetched. A host that gives no answer
    // at all (no such name, no server) has its links asked all the same, so
    // that each gets its error.
    robots.rules = RobotsRules{};
  } else {
    // A server in trouble is left alone.
    robots.rules = DisallowAll();
    tally_.notes.push_back(url + " answered " + std::to_string(status) +
                           ": nothing of its site is asked");
  }
  return robots.rules->crawl_delay.value_or(0);
}

void SiteCrawl::ReadSitemaps(const RobotsRules& rules) {
  for (const std::string& sitemap : rules.sitemaps) {
    std::string error;
    const std::optional<SitemapLocs> locs = ReadSitemapLocs(sitemap, check_, error);
    if (!locs) {
      tally_.notes.push_back(error);
      continue;
    }
    const auto from = static_cast<std::uint32_t>(sitemap_urls_.size());
    sitemap_urls_.push_back(sitemap);
    // A loc holds no line break: each line is one.
    ForEachLine(locs->locs, LineBreaks::kAny, [&](std::string_view loc) {
      if (StartsWithAny(loc, origins_)) Add(std::string(loc), from, true, 0, true);
    });
  }
}

std::vector<std::size_t> SiteCrawl::NextWave() {
  if (settings_.sitemaps) {
    for (const std::string& origin : origins_) {
      Robots* robots = RobotsOf(origin);
      if (robots == nullptr || !robots->rules || robots->sitemaps_read) continue;
      robots->sitemaps_read = true;
      ReadSitemaps(*robots->rules);
    }
  }
  return Select(false);
}

std::vector<std::size_t> SiteCrawl::MoreLinks() {
  std::vector<Parsed> pages = parsers_->Take(false);
  if (pages.empty()) return {};
  AddLinks(std::move(pages));
  return Select(true);
}

std::vector<std::size_t> SiteCrawl::Select(bool known_only) {
  std::vector<std::size_t> wave;
  std::vector<std::uint32_t> unknown;
  for (const std::uint32_t id : pending_) {
    Found& found = found_[id];
    const std::string_view url = views_[id];
    const Robots* robots = RobotsOf(url);
    if (found.asked) continue;
    if (Excluded(url)) {
      ++tally_.excluded;
    } else if (!found.own && !settings_.external) {
      ++tally_.external;
    } else if (known_only && (robots == nullptr || !robots->rules)) {
      unknown.push_back(id);
    } else if (robots != nullptr && robots->rules && !Allowed(*robots->rules, RequestPathOf(url))) {
      ++tally_.disallowed;
    } else {
      found.asked = true;
      wave.push_back(id);
    }
  }
  pending_ = std::move(unknown);
  return wave;
}

bool SiteCrawl::WantsPage(std::size_t link) {
  const Found& found = found_[link];
  return found.own && found.in_scope && found.followed && tally_.pages < settings_.max_pages &&
         (!settings_.depth || found.depth <= *settings_.depth);
}

void SiteCrawl::TakePage(std::size_t link, const std::string& url, std::string html) {
  if (tally_.pages >= settings_.max_pages) return;
  ++tally_.pages;
  parsers_->Submit(link, url, std::move(html));
}

void SiteCrawl::TakeRedirect(std::size_t link, const std::string& target) {
  const Found& found = found_[link];
  // A start that redirects (to https, to www., to a language's folder) names
  // the site where it leads.
  if (found.from == kNone && found.depth == 0) {
    if (const std::optional<Target> start = TargetOf(target)) {
      scopes_.push_back(FolderOf(start->url).value_or(start->url));
      origins_.emplace_back(OriginOf(start->url));
    }
  }
  Add(target, static_cast<std::uint32_t>(link), false, found.depth, found.followed);
}

std::string SiteCrawl::FoundOn(std::size_t link) const {
  const Found& found = found_[link];
  if (found.from == kNone) return {};
  if (found.from_sitemap) return "listed in " + sitemap_urls_[found.from];
  std::string text = "linked from " + urls_[found.from];
  if (const std::uint32_t more = found.pages - 1; more > 0) {
    text += " (and " + std::to_string(more) + (more == 1 ? " more page)" : " more pages)");
  }
  return text;
}

}  // namespace lirrevo::check
