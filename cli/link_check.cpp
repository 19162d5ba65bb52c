#include "cli/link_check.h"

#include <curl/curl.h>
#include <idn2.h>
#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

namespace lirrevo::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A longer Retry-After counts as this many seconds: far beyond any timeout,
// and small enough to turn into milliseconds without overflow.
constexpr long kLongestRetryAfter = 1'000'000'000;

// What a request's answer has shown so far, from its headers.
struct Answer {
  std::size_t header_limit = 0;
  std::size_t header_bytes = 0;
  long status = 0;         // of the last status line
  bool complete = false;   // the blank line after a final (not 1xx) status line came
  bool oversized = false;  // the headers went past header_limit
  std::optional<long> retry_after_s;
  std::string location;  // of the last answer, as sent
};

// What a request asks for.
enum class Purpose : std::uint8_t {
  kCheck,  // a link's status, from the headers alone
  kProbe,  // the page of a path that cannot exist on the link's host
  kPage,   // the page of a link that answered 200, to hold against the probe's
};

// One link's requests: HEAD, perhaps GET, perhaps one retry of either; or the
// GET of a probe or a page, perhaps retried.
struct Request {
  Purpose purpose = Purpose::kCheck;
  std::size_t index = 0;
  std::size_t host = 0;  // the key of its host name
  std::string url;
  std::string probe_name;  // the made-up last segment of a probe's path
  std::string body;        // of a probe or page, up to body_limit bytes
  std::size_t body_limit = 0;
  bool body_cut = false;  // the body went past body_limit
  bool get = false;
  bool retried = false;
  bool out_of_descriptors = false;  // its socket could not be opened for want of one
  Answer answer;
  char error[CURL_ERROR_SIZE] = {};  // libcurl's own words on a failure
};

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && strncasecmp(text.data(), start.data(), start.size()) == 0;
}

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) + 1 - first);
}

// Seconds to wait for "Retry-After: VALUE", given in seconds or as an HTTP
// date, at most kLongestRetryAfter; nothing for a value that is neither.
std::optional<long> RetryAfterSeconds(std::string_view value) {
  value = Trimmed(value);
  if (value.empty()) return std::nullopt;
  if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    unsigned long long seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    const bool too_long = error == std::errc::result_out_of_range ||
                          seconds > static_cast<unsigned long long>(kLongestRetryAfter);
    return too_long ? kLongestRetryAfter : static_cast<long>(seconds);
  }
  const std::time_t when = curl_getdate(std::string(value).c_str(), nullptr);
  if (when == -1) return std::nullopt;
  const std::time_t now = std::time(nullptr);
  return when <= now ? 0 : static_cast<long>(std::min<std::time_t>(when - now, kLongestRetryAfter));
}

// "HTTP/1.1 404 Not Found" gives 404; 0 where no status follows the version.
long StatusOf(std::string_view status_line) {
  const std::size_t space = status_line.find(' ');
  long status = 0;
  if (space != std::string_view::npos) {
    std::from_chars(status_line.data() + space + 1, status_line.data() + status_line.size(),
                    status);
  }
  return status;
}

std::size_t HeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
  const std::size_t length = size * count;
  Answer& answer = *static_cast<Answer*>(user);
  answer.header_bytes += length;
  if (answer.header_bytes > answer.header_limit) {
    answer.oversized = true;
    return 0;  // ends the transfer
  }
  const std::string_view line(data, length);
  if (line.starts_with("HTTP/")) {
    // Another answer begins (after a 1xx one): only the last one counts.
    answer.status = StatusOf(line);
    answer.complete = false;
    answer.retry_after_s.reset();
    answer.location.clear();
  } else if (line == "\r\n" || line == "\n") {
    answer.complete = answer.status >= 200;
  } else if (constexpr std::string_view kName = "retry-after:"; StartsWithNoCase(line, kName)) {
    answer.retry_after_s = RetryAfterSeconds(line.substr(kName.size()));
  } else if (constexpr std::string_view kName = "location:"; StartsWithNoCase(line, kName)) {
    answer.location = Trimmed(line.substr(kName.size()));
  }
  return length;
}

// The status is known once the headers are complete, so the first byte of a
// GET's body ends its transfer: nothing of the body is downloaded.
std::size_t StopAtBody(char*, std::size_t, std::size_t, void*) { return 0; }

// Keeps a probe's or page's body up to its bound, where the transfer ends.
std::size_t KeepBody(char* data, std::size_t size, std::size_t count, void* user) {
  Request& request = *static_cast<Request*>(user);
  const std::size_t length = size * count;
  const std::size_t room = request.body_limit - request.body.size();
  request.body.append(data, std::min(length, room));
  if (length <= room) return length;
  request.body_cut = true;
  return 0;
}

// Opens a request's socket as libcurl would, noting when the process has no
// descriptor left for it: libcurl reports that as a failure to connect.
curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
  const curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
  if (socket == CURL_SOCKET_BAD && (errno == EMFILE || errno == ENFILE)) {
    static_cast<Request*>(user)->out_of_descriptors = true;
  }
  return socket;
}

bool IsConnectionFailure(CURLcode result) {
  return result == CURLE_COULDNT_CONNECT || result == CURLE_GOT_NOTHING ||
         result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR;
}

bool IsTlsFailure(CURLcode result) {
  switch (result) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
      return true;
    default:
      return false;
  }
}

// A failure before any answer, in the words a site's owner would use; the
// system's or libcurl's own text where they say more.
std::string ReasonOfFailure(CURLcode result, long os_errno, const char* error) {
  const std::string why = error[0] != '\0' ? error : curl_easy_strerror(result);
  const std::string os = os_errno != 0 ? std::string(": ") + std::strerror(os_errno) : "";
  switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
      return "timeout";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "name not found";
    case CURLE_COULDNT_RESOLVE_PROXY:
      return "proxy name not found";
    case CURLE_COULDNT_CONNECT:
      return os_errno == ECONNREFUSED ? "connection refused" : "cannot connect" + os;
    case CURLE_OK:
    case CURLE_GOT_NOTHING:
      return "closed without an answer";
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return "connection lost" + os;
    case CURLE_WEIRD_SERVER_REPLY:
      return "not an HTTP answer";
    default:
      return IsTlsFailure(result) ? "TLS: " + why : why;
  }
}

// Why an answer without a complete header block gives no status.
std::string ReasonOfNoStatus(const Request& request, CURLcode result, long os_errno) {
  const Answer& answer = request.answer;
  // libcurl refuses a single header line over 100 KB as out of memory.
  if (answer.oversized || (answer.status != 0 && result == CURLE_OUT_OF_MEMORY)) {
    return "headers too large";
  }
  // Complete headers that gave no status were a proxy's, before the failure.
  if (answer.status == 0 || answer.complete) {
    return ReasonOfFailure(result, os_errno, request.error);
  }
  if (result == CURLE_OPERATION_TIMEDOUT) return "headers did not end in time";
  return "answer cut off within its headers";
}

// What the line tells beside the status: where a redirect points.
std::string DetailOfStatus(long status, const Answer& answer) {
  return ClassOfStatus(status) == LinkClass::kRedirect ? answer.location : std::string();
}

// A host name in the ASCII form it is asked for by: a name with characters
// outside ASCII in its punycode form; nothing when it is no valid name.
std::optional<std::string> AsciiHost(const std::string& host) {
  if (std::all_of(host.begin(), host.end(), [](char c) { return (c & 0x80) == 0; })) return host;
  uint8_t* ascii = nullptr;
  if (idn2_lookup_u8(reinterpret_cast<const uint8_t*>(host.c_str()), &ascii,
                     IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL) != IDN2_OK) {
    return std::nullopt;
  }
  std::string result(reinterpret_cast<const char*>(ascii));
  idn2_free(ascii);
  return result;
}

std::optional<std::string> UrlPart(CURLU* url, CURLUPart what) {
  char* part = nullptr;
  if (curl_url_get(url, what, &part, 0) != CURLUE_OK) return std::nullopt;
  std::string text(part);
  curl_free(part);
  return text;
}

// 16 hex digits that no site has a page of.
std::string RandomName() {
  std::random_device random;
  std::uniform_int_distribution<unsigned long long> any;
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", any(random));
  return name;
}

// The URL of name in the folder of url, without url's query and fragment:
// https://h/a/b/page.html?q gives https://h/a/b/NAME.
std::optional<std::string> UrlInFolder(const std::string& url, const std::string& name) {
  const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return std::nullopt;
  }
  std::optional<std::string> path = UrlPart(parsed.get(), CURLUPART_PATH);
  if (!path) return std::nullopt;
  path->erase(path->rfind('/') + 1);  // libcurl's path always begins with '/'
  *path += name;
  if (curl_url_set(parsed.get(), CURLUPART_PATH, path->c_str(), 0) != CURLUE_OK ||
      curl_url_set(parsed.get(), CURLUPART_QUERY, nullptr, 0) != CURLUE_OK ||
      curl_url_set(parsed.get(), CURLUPART_FRAGMENT, nullptr, 0) != CURLUE_OK) {
    return std::nullopt;
  }
  return UrlPart(parsed.get(), CURLUPART_URL);
}

std::size_t FindNoCase(std::string_view text, std::string_view what, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  const auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  const auto found = std::search(text.begin() + from, text.end(), what.begin(), what.end(), same);
  return found == text.end() ? std::string_view::npos : found - text.begin();
}

// The trimmed text of the page's first <title> element; empty without one.
std::string TitleOf(std::string_view page) {
  constexpr std::string_view kOpen = "<title";
  for (std::size_t at = FindNoCase(page, kOpen, 0); at != std::string_view::npos;
       at = FindNoCase(page, kOpen, at + 1)) {
    const std::size_t after = at + kOpen.size();
    if (after < page.size() && (page[after] == '>' || std::isspace(page[after]))) {
      const std::size_t text = page.find('>', after);
      const std::size_t close = FindNoCase(page, "</title", text);
      if (close == std::string_view::npos) return {};
      return std::string(Trimmed(page.substr(text + 1, close - text - 1)));
    }
  }
  return {};
}

// What the host answers for a page that does not exist: its title, and its
// body's length without the probe's name, which servers often repeat.
struct MissingPage {
  std::string title;
  std::size_t length = 0;
  bool cut = false;  // the body went past its bound: its length tells nothing
};

MissingPage MissingPageOf(const Request& probe) {
  std::string body = probe.body;
  for (std::size_t at = body.find(probe.probe_name); at != std::string::npos;
       at = body.find(probe.probe_name, at)) {
    body.erase(at, probe.probe_name.size());
  }
  return {TitleOf(body), body.size(), probe.body_cut};
}

// What makes the page like the missing one: the same title, or a body length
// within 2%; empty when it is not like it.
std::string LikenessTo(const MissingPage& missing, const Request& page) {
  const std::string title = TitleOf(page.body);
  if (!title.empty() && title == missing.title) {
    return "same title as a missing page: '" + title + "'";
  }
  if (page.body_cut || missing.cut) return {};
  const double difference =
      std::abs(static_cast<double>(page.body.size()) - static_cast<double>(missing.length));
  if (difference > 0.02 * static_cast<double>(missing.length)) return {};
  return "body length " + std::to_string(page.body.size()) + ", a missing page's " +
         std::to_string(missing.length);
}

// A probe's or page's body is whole, or cut at its bound, not at a failure.
bool HasBody(const Request& request, CURLcode result, long status) {
  return status == 200 && (result == CURLE_OK || (result == CURLE_WRITE_ERROR && request.body_cut));
}

// What a link is asked at: its URL and the host name that URL names.
struct Target {
  std::string url;
  std::string host;
};

std::optional<Target> TargetOf(std::string_view link) {
  const bool http = StartsWithNoCase(link, "http://") || StartsWithNoCase(link, "https://");
  const bool clean = std::none_of(link.begin(), link.end(), [](char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
  });
  if (!http || !clean) return std::nullopt;
  const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, std::string(link).c_str(),
                              CURLU_URLENCODE) != CURLUE_OK) {
    return std::nullopt;
  }
  const std::optional<std::string> given = UrlPart(parsed.get(), CURLUPART_HOST);
  std::optional<std::string> host = given ? AsciiHost(*given) : std::nullopt;
  if (!host || host->empty() ||
      (*host != *given &&
       curl_url_set(parsed.get(), CURLUPART_HOST, host->c_str(), 0) != CURLUE_OK)) {
    return std::nullopt;
  }
  std::optional<std::string> url = UrlPart(parsed.get(), CURLUPART_URL);
  if (!url) return std::nullopt;
  return Target{*std::move(url), *std::move(host)};
}

// Hosts are told apart by a hash of the name, not the name itself, so that a
// long list of links to many hosts costs no memory per host. Two names with
// one hash only share the bound per host.
std::size_t HostKey(std::string host) {
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::hash<std::string>{}(host);
}

class Checker {
 public:
  Checker(std::span<const std::string_view> links, const CheckSettings& settings,
          const std::function<void(std::size_t, LinkVerdict)>& done)
      : links_(links), settings_(settings), done_(done) {}
  ~Checker() {
    for (auto& [easy, request] : running_) {
      curl_multi_remove_handle(multi_, easy);
      curl_easy_cleanup(easy);
    }
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
  }

  std::optional<std::string> Run() {
    multi_ = curl_multi_init();
    if (multi_ == nullptr) return "libcurl could not start";
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(settings_.per_host));
    // The links that answer 200 wait for the probes of their hosts, and
    // their pages are fetched only where the probe answered 200 too.
    if (!Pass(Purpose::kCheck, CheckJobs()) || !Pass(Purpose::kProbe, ProbeJobs()) ||
        !Pass(Purpose::kPage, PageJobs())) {
      return failure_;
    }
    return std::nullopt;
  }

 private:
  static constexpr const char* kNoRequest = "libcurl could not make a request";

  using Jobs = std::vector<std::pair<std::size_t, std::size_t>>;  // (host key, link index)

  // Asks for every job, within the bounds; false when the check cannot go on.
  bool Pass(Purpose purpose, Jobs jobs) {
    purpose_ = purpose;
    queue_ = std::move(jobs);
    std::sort(queue_.begin(), queue_.end());
    ready_.clear();
    for (std::size_t p = 0; p < queue_.size(); ++p) {
      if (p == 0 || queue_[p].first != queue_[p - 1].first) ready_.push_back(p);
    }
    std::make_heap(ready_.begin(), ready_.end(), Later());
    while (!running_.empty() || !ready_.empty() || !waiting_.empty()) {
      int still_running = 0;
      if (curl_multi_perform(multi_, &still_running) != CURLM_OK) return Fail(kNoRequest);
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE && !Finished(message->easy_handle, message->data.result)) {
          return false;
        }
      }
      // The slots just freed are filled before the wait, not after it.
      if (!StartWhatMay()) return false;
      if (curl_multi_poll(multi_, nullptr, 0, PollMilliseconds(), nullptr) != CURLM_OK) {
        return Fail(kNoRequest);
      }
    }
    return true;
  }

  // A host's requests running or waiting to retry, and the position of its
  // next link while it has no room for it.
  struct HostState {
    int busy = 0;
    std::optional<std::size_t> held;
  };

  // Settles the invalid links; the others are to be checked.
  Jobs CheckJobs() {
    Jobs jobs;
    jobs.reserve(links_.size());
    for (std::size_t i = 0; i < links_.size(); ++i) {
      if (std::optional<Target> target = TargetOf(links_[i])) {
        jobs.emplace_back(HostKey(std::move(target->host)), i);
      } else {
        done_(i, {LinkClass::kInvalid, 0, "not an http or https URL"});
      }
    }
    return jobs;
  }

  // One probe per host with links that answer 200, in the folder of the
  // first of them.
  Jobs ProbeJobs() {
    std::sort(answered_200_.begin(), answered_200_.end());
    Jobs jobs;
    for (std::size_t i = 0; i < answered_200_.size(); ++i) {
      if (i == 0 || answered_200_[i].first != answered_200_[i - 1].first) {
        jobs.push_back(answered_200_[i]);
      }
    }
    return jobs;
  }

  // The pages of the links on hosts whose probe answered 200; the links on
  // other hosts are alive.
  Jobs PageJobs() {
    Jobs jobs;
    for (const auto& [key, index] : answered_200_) {
      if (missing_pages_.contains(key)) {
        jobs.emplace_back(key, index);
      } else {
        done_(index, {LinkClass::kAlive, 200});
      }
    }
    answered_200_ = Jobs();
    return jobs;
  }

  // Orders ready_ as a heap with the earliest link in input order on top.
  struct LaterLink {
    const std::vector<std::pair<std::size_t, std::size_t>>& queue;
    bool operator()(std::size_t a, std::size_t b) const {
      return queue[a].second > queue[b].second;
    }
  };
  LaterLink Later() const { return {queue_}; }

  // The host's link at position is ready when the host has room, else held.
  void Offer(std::size_t position, HostState& host) {
    if (host.busy < settings_.per_host) {
      ready_.push_back(position);
      std::push_heap(ready_.begin(), ready_.end(), Later());
    } else {
      host.held = position;
    }
  }

  // Starts due retries first, then the earliest ready links, while the total
  // bound allows.
  bool StartWhatMay() {
    const Clock::time_point now = Clock::now();
    for (auto it = waiting_.begin();
         it != waiting_.end() && running_.size() < Limit() && it->first <= now;) {
      std::unique_ptr<Request> request = std::move(it->second);
      it = waiting_.erase(it);
      if (!Launch(std::move(request))) return false;
    }
    while (running_.size() < Limit() && !ready_.empty()) {
      std::pop_heap(ready_.begin(), ready_.end(), Later());
      const std::size_t position = ready_.back();
      ready_.pop_back();
      const auto [key, index] = queue_[position];
      HostState& host = hosts_[key];
      ++host.busy;
      if (position + 1 < queue_.size() && queue_[position + 1].first == key) {
        Offer(position + 1, host);
      }
      if (!Launch(NewRequest(key, index))) return false;
    }
    return true;
  }

  // Starts the request, or puts it to wait for the time its host's rate
  // allows; a request put to wait counts for its host as one running.
  bool Launch(std::unique_ptr<Request> request) {
    if (settings_.rate > 0) {
      const auto due = next_start_.find(request->host);
      if (due != next_start_.end() && due->second > Clock::now()) {
        waiting_.emplace(due->second, std::move(request));
        return true;
      }
    }
    return Start(std::move(request));
  }

  // The host's next request may start one interval of the rate from now.
  void Space(std::size_t host) {
    const Clock::time_point now = Clock::now();
    // A day between requests is as good as never, and stays within the clock's range.
    const double seconds = std::min(1 / settings_.rate, 86400.0);
    next_start_[host] =
        now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    // The hosts whose time has come need no entry: the map keeps to about
    // the hosts asked in the last interval.
    if (next_start_.size() >= 2 * spaced_hosts_ + 64) {
      std::erase_if(next_start_, [&](const auto& entry) { return entry.second <= now; });
      spaced_hosts_ = next_start_.size();
    }
  }

  std::size_t Limit() const { return static_cast<std::size_t>(settings_.concurrency); }

  std::unique_ptr<Request> NewRequest(std::size_t key, std::size_t index) {
    auto request = std::make_unique<Request>();
    request->purpose = purpose_;
    request->index = index;
    request->host = key;
    request->url = TargetOf(links_[index])->url;  // only links with one are jobs
    request->body_limit = settings_.max_body_bytes;
    if (purpose_ == Purpose::kProbe) {
      request->probe_name = RandomName();
      // libcurl has taken the URL as it is: its folder takes a name as well.
      request->url = UrlInFolder(request->url, request->probe_name).value_or(request->url);
    }
    return request;
  }

  bool Start(std::unique_ptr<Request> request) {
    CURL* easy = curl_easy_init();
    if (easy == nullptr) return Fail(kNoRequest);
    request->answer = Answer();
    request->answer.header_limit = settings_.max_header_bytes;
    request->body.clear();
    request->body_cut = false;
    curl_easy_setopt(easy, CURLOPT_URL, request->url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    const bool page = request->purpose != Purpose::kCheck;
    if (request->get || page) {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    if (page) {
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, KeepBody);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, request.get());
    } else {
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, StopAtBody);
    }
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, HeaderLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request->answer);
    request->error[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, request->error);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, request.get());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, settings_.user_agent.c_str());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, settings_.timeout_ms);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, settings_.timeout_ms);
    // The system's CA store stays in use (CURLOPT_CAPATH); the file adds to it.
    if (settings_.cacert) curl_easy_setopt(easy, CURLOPT_CAINFO, settings_.cacert->c_str());
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
      curl_easy_cleanup(easy);
      return Fail(kNoRequest);
    }
    if (settings_.rate > 0) Space(request->host);
    running_.emplace(easy, std::move(request));
    return true;
  }

  // Settles the link or asks again; false when the check cannot go on.
  bool Finished(CURL* easy, CURLcode result) {
    const auto it = running_.find(easy);
    std::unique_ptr<Request> request = std::move(it->second);
    running_.erase(it);
    long status = 0;
    long os_errno = 0;
    if (request->answer.complete) curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &os_errno);
    curl_multi_remove_handle(multi_, easy);
    curl_easy_cleanup(easy);
    // No link is to blame for a process out of descriptors, and none would get an answer.
    if (request->out_of_descriptors) return Fail("too many open files");

    if (request->purpose == Purpose::kCheck && !request->get && (status == 405 || status == 501)) {
      request->get = true;
      return Launch(std::move(request));
    }
    const bool retryable = status == 429 || (status >= 500 && status < 600) ||
                           (status == 0 && IsConnectionFailure(result));
    if (retryable && !request->retried && Retry(request)) return true;
    Conclude(*request, status, result, os_errno);
    Settle(request->host);
    return true;
  }

  // Takes in what the request's last answer tells.
  void Conclude(const Request& request, long status, CURLcode result, long os_errno) {
    switch (request.purpose) {
      case Purpose::kCheck:
        if (status == 200) {
          answered_200_.emplace_back(request.host, request.index);  // to wait for the probe
        } else if (status == 0) {
          done_(request.index, {LinkClass::kError, 0, ReasonOfNoStatus(request, result, os_errno)});
        } else {
          done_(request.index,
                {ClassOfStatus(status), status, DetailOfStatus(status, request.answer)});
        }
        break;
      case Purpose::kProbe:
        if (HasBody(request, result, status)) missing_pages_[request.host] = MissingPageOf(request);
        break;
      case Purpose::kPage: {
        // A page that cannot be fetched now answered 200 a moment ago.
        std::string likeness;
        if (HasBody(request, result, status)) {
          likeness = LikenessTo(missing_pages_[request.host], request);
        }
        const LinkClass link_class = likeness.empty() ? LinkClass::kAlive : LinkClass::kSoft404;
        done_(request.index, {link_class, 200, std::move(likeness)});
        break;
      }
    }
  }

  // Puts the request to wait for its one retry, unless the server asks for a
  // longer wait than a request may take: then its answer stands.
  bool Retry(std::unique_ptr<Request>& request) {
    long pause_ms = std::min(settings_.retry_pause_ms, settings_.timeout_ms);
    if (request->answer.retry_after_s) pause_ms = *request->answer.retry_after_s * 1000;
    if (pause_ms > settings_.timeout_ms) return false;
    request->retried = true;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(pause_ms);
    waiting_.emplace(due, std::move(request));
    return true;
  }

  // A link of the host is done: its room goes to the host's next link.
  void Settle(std::size_t key) {
    const auto it = hosts_.find(key);
    HostState& host = it->second;
    --host.busy;
    if (host.held) {
      const std::size_t position = *host.held;
      host.held.reset();
      Offer(position, host);
    } else if (host.busy == 0) {
      hosts_.erase(it);
    }
  }

  bool Fail(std::string_view why) {
    failure_ = why;
    return false;
  }

  int PollMilliseconds() const {
    long wait = 200;
    if (!waiting_.empty()) {
      const auto until =
          std::chrono::ceil<std::chrono::milliseconds>(waiting_.begin()->first - Clock::now());
      wait = std::clamp<long>(until.count(), 0, wait);
    }
    return static_cast<int>(wait);
  }

  std::span<const std::string_view> links_;
  const CheckSettings& settings_;
  const std::function<void(std::size_t, LinkVerdict)>& done_;
  CURLM* multi_ = nullptr;
  std::string failure_;
  Purpose purpose_ = Purpose::kCheck;  // of the pass under way
  Jobs answered_200_;                  // the links that answered 200, their verdicts held
  std::unordered_map<std::size_t, MissingPage> missing_pages_;  // by host key
  Jobs queue_;                                                  // the pass's jobs, sorted
  std::vector<std::size_t> ready_;  // positions in queue_ of hosts' next links, a heap
  std::unordered_map<std::size_t, HostState> hosts_;  // the hosts with requests running or waiting
  std::unordered_map<CURL*, std::unique_ptr<Request>> running_;
  // Retries, and with a rate the requests whose host must wait, by due time.
  std::multimap<Clock::time_point, std::unique_ptr<Request>> waiting_;
  std::unordered_map<std::size_t, Clock::time_point> next_start_;  // by host key, with a rate
  std::size_t spaced_hosts_ = 0;  // in next_start_ after its last sweep
};

}  // namespace

std::string_view ClassName(LinkClass link_class) {
  switch (link_class) {
    case LinkClass::kDead:
      return "dead";
    case LinkClass::kAlive:
      return "alive";
    case LinkClass::kSoft404:
      return "soft404";
    case LinkClass::kRedirect:
      return "redirect";
    case LinkClass::kError:
      return "error";
    case LinkClass::kInvalid:
      break;
  }
  return "invalid";
}

LinkClass ClassOfStatus(long status) {
  if (status == 404 || status == 410) return LinkClass::kDead;
  if (status >= 200 && status < 300) return LinkClass::kAlive;
  if (status >= 300 && status < 400) return LinkClass::kRedirect;
  return LinkClass::kError;
}

std::optional<std::string> RequestUrl(std::string_view link) {
  std::optional<Target> target = TargetOf(link);
  if (!target) return std::nullopt;
  return std::move(target->url);
}

std::optional<std::string> CheckLinks(std::span<const std::string_view> links,
                                      const CheckSettings& settings,
                                      const std::function<void(std::size_t, LinkVerdict)>& done) {
  Checker checker(links, settings, done);
  return checker.Run();
}

}  // namespace lirrevo::cli
