// Asks web servers whether links are dead as a search engine's crawler sees
// them: HTTP GET, redirects not followed, a bounded number of requests in
// flight.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/url.h"

namespace lirrevo::check {

enum class LinkClass : std::uint8_t { kDead, kAlive, kSoft404, kRedirect, kError, kInvalid };

// "dead", "alive", "soft404", "redirect", "error" or "invalid".
std::string_view ClassName(LinkClass link_class);

// What one link turned out to be: its class and the final HTTP status, or 0
// when there was no complete answer or no request. detail is a redirect's
// Location as sent, why an error got no status ("timeout", "connection
// refused", "name not found", "TLS: ..."), why a link is invalid, what makes a
// soft 404 like a missing page, what the answers were where there was more
// than one ("404 twice", "404, then 200 (not dead)"); else empty.
struct LinkVerdict {
  LinkClass link_class = LinkClass::kError;
  long code = 0;
  std::string detail = {};
  bool operator==(const LinkVerdict&) const = default;
};

struct CheckSettings {
  int concurrency = 32;        // requests in flight at most
  int per_host = 4;            // of them to one host name at most
  double rate = 0;             // requests a second to one host at most, retries and probes
                               // included; 0: no bound
  long timeout_ms = 10000;     // per request, connection included
  long retry_pause_ms = 1000;  // before the one retry, unless Retry-After says otherwise
  std::size_t max_header_bytes = 256 << 10;  // of one answer; more is an error
  std::size_t max_body_bytes = 256 << 10;    // of a page compared with a missing one
  std::size_t max_page_bytes = 5 << 20;      // of a page a crawl reads
  std::optional<std::string> cacert;         // extra CA certificates (PEM file)
  std::string user_agent;
  // Set (by a signal handler) to end the check early; it then returns
  // kInterrupted with the verdicts given so far.
  const volatile std::sig_atomic_t* stop = nullptr;
};

inline constexpr std::string_view kInterrupted = "interrupted";

// Where the links of a check come from while it runs, so that a crawl can
// add the links of the pages it reads. The check asks the feed's files (its
// hosts' robots.txt) first, then the links of its next wave, and again until
// a wave is empty; then the probes and pages that judge soft 404s.
class LinkFeed {
 public:
  virtual ~LinkFeed() = default;
  // Every link so far, by index; only grows.
  virtual std::span<const std::string_view> Links() const = 0;
  // URLs whose text the feed wants before its next wave.
  virtual std::vector<std::string> Files() = 0;
  // A file's answer: the status (0 for none) and up to 512 KiB of its text;
  // the pause between requests to its host that it asks for, in seconds.
  virtual double TakeFile(std::size_t file, long status, std::string_view text) = 0;
  // The links to ask next, by index; empty when the feed is done.
  virtual std::vector<std::size_t> NextWave() = 0;
  // Links that may join the wave under way, so that it does not run dry
  // while pages are read: none, or those whose files are known.
  virtual std::vector<std::size_t> MoreLinks() = 0;
  // Whether the page of a link is to be read where it answers 200 with an HTML type.
  virtual bool WantsPage(std::size_t link) = 0;
  // A page read (perhaps cut at max_page_bytes), or where a redirect leads.
  virtual void TakePage(std::size_t link, const std::string& url, std::string html) = 0;
  virtual void TakeRedirect(std::size_t link, const std::string& target) = 0;
};

// Checks every link (UTF-8) and calls done(index, verdict) once per link as
// its verdict is known, not in input order. Each link is asked with GET, and
// only its headers are read. A 404 or 410 is asked again at once on a
// connection of its own: the link is dead only when the answer is the same.
// A request that fails on a connection an earlier answer used is asked again
// on a fresh one, and a failure or a busy server's answer (429, 5xx) once
// more after a pause. Each folder holding links that answer 200 or redirect
// gets one probe of a made-up name (at most 32 folders a site: the others
// stand with the nearest probed folder above them). Where the probe answers
// 200, those links' pages are fetched and the ones whose text is the probe's
// are soft 404s; a redirect to the home page, or to where the folder's probe
// is redirected, is a soft 404 too. Nothing when every link has its verdict;
// else why the check stopped (libcurl could not be set up or make a request,
// or the process ran out of file descriptors), and done has not been called
// for every link.
std::optional<std::string> CheckLinks(std::span<const std::string_view> links,
                                      const CheckSettings& settings,
                                      const std::function<void(std::size_t, LinkVerdict)>& done);

// CheckLinks over the links a feed gives in waves.
std::optional<std::string> CheckFeed(LinkFeed& feed, const CheckSettings& settings,
                                     const std::function<void(std::size_t, LinkVerdict)>& done);

}  // namespace lirrevo::check
