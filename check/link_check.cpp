#include "check/link_check.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "check/page_likeness.h"
#include "check/url.h"
#include "core/document/ascii.h"
#include "core/logs/own_requests.h"

namespace lirrevo::check {
namespace {

using Clock = std::chrono::steady_clock;

// The most of a check's body that is read (and dropped) to keep its
// connection for the next request: a page's size; more ends the transfer.
constexpr std::size_t kDroppedBody = 64 << 10;

// A longer Retry-After counts as this many seconds: far beyond any timeout,
// and small enough to turn into milliseconds without overflow.
constexpr long kLongestRetryAfter = 1'000'000'000;

// What a request's answer has shown so far, from its headers.
struct Answer {
  std::size_t header_limit = 0;
  std::size_t header_bytes = 0;
  long status = 0;          // of the last status line
  bool complete = false;    // the blank line after a final (not 1xx) status line came
  bool oversized = false;   // the headers went past header_limit
  bool empty_body = false;  // Content-Length: 0
  bool html = false;        // Content-Type: text/html or application/xhtml+xml
  std::optional<long> retry_after_s = {};
  std::string location = {};  // of the last answer, as sent
};

// What a request asks for.
enum class Purpose : std::uint8_t {
  kCheck,  // a link's status, from the headers alone
  kProbe,  // the page of a path that cannot exist on the link's host
  kPage,   // the page of a link that answered 200, to hold against the probe's
  kFile,   // a file the feed wants (a robots.txt), redirects followed
};

// One link's GET, perhaps asked again; or the GET of a probe or a page.
struct Request {
  Purpose purpose = Purpose::kCheck;
  std::size_t index = 0;  // of the link; of the folder, for a probe
  std::size_t host = 0;   // the key of its host name
  std::string url;
  std::string body;  // of a probe or page, up to body_limit bytes
  std::size_t body_limit = 0;
  bool body_cut = false;                // the body went past body_limit
  bool read_page = false;               // a check whose HTML page the feed reads
  std::size_t dropped = 0;              // bytes of a check's body read
  bool retried = false;                 // after a failure or a busy server's answer
  bool fresh = false;                   // on a connection of its own
  int confirmations = 0;                // asked again after a 404 or 410
  std::vector<std::uint16_t> statuses;  // the answers so far, retried ones left out
  bool out_of_descriptors = false;      // its socket could not be opened for want of one
  CURL* easy = nullptr;                 // while it runs
  // Every socket open, the checker's, with its local port once known.
  std::unordered_map<curl_socket_t, int>* sockets = nullptr;
  Answer answer;
  char error[CURL_ERROR_SIZE] = {};  // libcurl's own words on a failure
};

// Seconds to wait for "Retry-After: VALUE", given in seconds or as an HTTP
// date, at most kLongestRetryAfter; nothing for a value that is neither.
std::optional<long> RetryAfterSeconds(std::string_view value) {
  value = Trimmed(value, " \t\r\n");
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
    answer = Answer{answer.header_limit, answer.header_bytes, StatusOf(line)};
  } else if (line == "\r\n" || line == "\n") {
    answer.complete = answer.status >= 200;
    // Nothing marks where an answer without a body ends: a faulty server
    // sends one anyway, and the connection's next request would read it as
    // its answer. The transfer ends here, and the connection with it.
    if (answer.complete && (answer.empty_body || answer.status == 204 || answer.status == 304)) {
      return 0;
    }
  } else if (constexpr std::string_view kName = "content-length:"; StartsWithNoCase(line, kName)) {
    answer.empty_body = Trimmed(line.substr(kName.size()), " \t\r\n") == "0";
  } else if (constexpr std::string_view kName = "content-type:"; StartsWithNoCase(line, kName)) {
    const std::string_view type = Trimmed(line.substr(kName.size()), " \t\r\n");
    answer.html =
        StartsWithNoCase(type, "text/html") || StartsWithNoCase(type, "application/xhtml+xml");
  } else if (constexpr std::string_view kName = "retry-after:"; StartsWithNoCase(line, kName)) {
    answer.retry_after_s = RetryAfterSeconds(line.substr(kName.size()));
  } else if (constexpr std::string_view kName = "location:"; StartsWithNoCase(line, kName)) {
    answer.location = Trimmed(line.substr(kName.size()), " \t\r\n");
  }
  return length;
}

// The status is known once the headers are complete. A short body is read
// and dropped, so that the connection may serve the host's next request; a
// longer one ends the transfer (and the connection) at kDroppedBody bytes.
std::size_t DropBody(char*, std::size_t size, std::size_t count, void* user) {
  std::size_t& dropped = static_cast<Request*>(user)->dropped;
  dropped += size * count;
  return dropped <= kDroppedBody ? size * count : 0;
}

// Keeps a probe's, page's or file's body up to its bound, where the transfer
// ends; and a check's, where the feed reads its page and it is one.
std::size_t KeepBody(char* data, std::size_t size, std::size_t count, void* user) {
  Request& request = *static_cast<Request*>(user);
  if (request.purpose == Purpose::kCheck &&
      !(request.read_page && request.answer.status == 200 && request.answer.html)) {
    return DropBody(data, size, count, user);
  }
  const std::size_t length = size * count;
  const std::size_t room = request.body_limit - request.body.size();
  request.body.append(data, std::min(length, room));
  if (length <= room) return length;
  request.body_cut = true;
  return 0;
}

// Opens a request's socket as libcurl would, noting when the process has no
// descriptor left for it (libcurl reports that as a failure to connect), and
// keeping it among the open sockets.
curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
  Request& request = *static_cast<Request*>(user);
  const curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
  if (socket == CURL_SOCKET_BAD && (errno == EMFILE || errno == ENFILE)) {
    request.out_of_descriptors = true;
  }
  if (socket != CURL_SOCKET_BAD) request.sockets->emplace(socket, 0);
  return socket;
}

int CloseSocket(void* sockets, curl_socket_t socket) {
  static_cast<std::unordered_map<curl_socket_t, int>*>(sockets)->erase(socket);
  return close(socket);
}

// The address and port at one end of a socket, as libcurl writes them.
std::pair<std::string, int> EndOf(curl_socket_t socket, bool peer) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  auto* any = reinterpret_cast<sockaddr*>(&address);
  if ((peer ? getpeername(socket, any, &size) : getsockname(socket, any, &size)) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  int port = 0;
  if (address.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    port = ntohs(v4->sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    port = ntohs(v6->sin6_port);
  }
  return {text, port};
}

// A connection that an earlier answer used and that holds bytes before the
// request is sent carries the rest of that answer (or the server's close):
// the request is not sent on it, and is asked again on a fresh connection.
int CleanConnectionOnly(void* user, char* peer_ip, char* local_ip, int peer_port, int local_port) {
  const Request& request = *static_cast<Request*>(user);
  long connects = 0;
  curl_easy_getinfo(request.easy, CURLINFO_NUM_CONNECTS, &connects);
  if (connects != 0) return CURL_PREREQFUNC_OK;
  for (auto& [socket, port] : *request.sockets) {
    // A socket's local port is asked once: the system is not asked again for
    // every socket at every request.
    if (port == 0) port = EndOf(socket, false).second;
    if (port != local_port ||
        EndOf(socket, false) != std::pair<std::string, int>(local_ip, local_port) ||
        EndOf(socket, true) != std::pair<std::string, int>(peer_ip, peer_port)) {
      continue;
    }
    pollfd waiting{socket, POLLIN, 0};
    return poll(&waiting, 1, 0) == 0 ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
  }
  return CURL_PREREQFUNC_OK;
}

bool IsConnectionFailure(CURLcode result) {
  return result == CURLE_COULDNT_CONNECT || result == CURLE_GOT_NOTHING ||
         result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR;
}

bool IsTlsFailure(CURLcode result) {
  constexpr CURLcode kTls[] = {CURLE_SSL_CONNECT_ERROR,     CURLE_PEER_FAILED_VERIFICATION,
                               CURLE_SSL_CERTPROBLEM,       CURLE_SSL_CIPHER,
                               CURLE_SSL_ISSUER_ERROR,      CURLE_SSL_PINNEDPUBKEYNOTMATCH,
                               CURLE_SSL_INVALIDCERTSTATUS, CURLE_SSL_CACERT_BADFILE,
                               CURLE_SSL_CRL_BADFILE,       CURLE_SSL_SHUTDOWN_FAILED,
                               CURLE_USE_SSL_FAILED};
  return std::find(std::begin(kTls), std::end(kTls), result) != std::end(kTls);
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
  // libcurl refuses a header line it cannot read before it is handed on.
  if (answer.status != 0 && !answer.complete && result == CURLE_WEIRD_SERVER_REPLY) {
    return std::string("malformed headers: ") + request.error;
  }
  // Complete headers that gave no status were a proxy's, before the failure.
  if (answer.status == 0 || answer.complete) {
    return ReasonOfFailure(result, os_errno, request.error);
  }
  if (result == CURLE_OPERATION_TIMEDOUT) return "headers did not end in time";
  return "answer cut off within its headers";
}

// 16 hex digits that no site has a page of, after the mark that keeps the
// probe out of the dead links read from the site's log.
std::string ProbeName() {
  std::random_device random;
  std::uniform_int_distribution<unsigned long long> any;
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", any(random));
  return std::string(kProbeMark) + name;
}

// The folder URL's path: https://h/a/b/ gives /a/b/.
std::string PathOfFolder(const std::string& folder) {
  const std::size_t scheme = folder.find("://");
  const std::size_t path = folder.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  return path == std::string::npos ? "/" : folder.substr(path);
}

// The folder above folder, or nothing for the root: https://h/a/b/ gives https://h/a/.
std::optional<std::string> ParentFolder(const std::string& folder) {
  if (PathOfFolder(folder) == "/") return std::nullopt;
  return folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
}

bool IsHomePath(std::string_view path) {
  return path == "/" || path == "/index.html" || path == "/index.htm" || path == "/index.php";
}

// The host name without a leading "www.", in lower case: the site it names.
std::string SiteOf(std::string host) {
  host = LowerAscii(std::move(host));
  return host.starts_with("www.") ? host.substr(4) : host;
}

// Whether target is the home page of url's site, and url another page.
bool IsHomePageOf(const std::string& target, const std::string& url) {
  const UrlHandle to = ParsedUrl(target);
  const UrlHandle from = ParsedUrl(url);
  if (!to || !from) return false;
  const std::optional<std::string> to_host = UrlPart(to.get(), CURLUPART_HOST);
  const std::optional<std::string> from_host = UrlPart(from.get(), CURLUPART_HOST);
  const std::optional<std::string> path = UrlPart(to.get(), CURLUPART_PATH);
  const bool has_query = UrlPart(to.get(), CURLUPART_QUERY).has_value();
  return to_host && from_host && path && !has_query && SiteOf(*to_host) == SiteOf(*from_host) &&
         IsHomePath(*path) && !IsHomePath(UrlPart(from.get(), CURLUPART_PATH).value_or("/"));
}

// The redirect's target with the path asked for (as sent, or as one
// percent-encoded value) and its last segment made one mark, so that the
// redirects of two missing pages of one folder compare equal.
std::string RedirectShape(std::string target, const std::string& path) {
  const std::string last = path.substr(path.rfind('/') + 1);
  std::string encoded;
  for (const char c : path) encoded += c == '/' ? std::string("%2F") : std::string(1, c);
  for (const std::string& asked : {path, encoded, last}) {
    if (asked.empty() || asked == "/") continue;
    for (std::size_t at = target.find(asked); at != std::string::npos;
         at = target.find(asked, at + 1)) {
      target.replace(at, asked.size(), "\x01");
    }
  }
  return target;
}

bool IsDeadStatus(long status) { return status == 404 || status == 410; }
bool IsRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// dead for 404 and 410, alive for 2xx, redirect for 3xx, else error.
LinkClass ClassOfStatus(long status) {
  if (IsDeadStatus(status)) return LinkClass::kDead;
  if (status >= 200 && status < 300) return LinkClass::kAlive;
  if (status >= 300 && status < 400) return LinkClass::kRedirect;
  return LinkClass::kError;
}

// What a link's answers tell, where there was more than one plain answer:
// "404 twice", "404, then 200 (not dead)", "200, then 500".
std::string HistoryOf(const std::vector<std::uint16_t>& statuses, LinkClass link_class) {
  const bool any_dead = std::any_of(statuses.begin(), statuses.end(), IsDeadStatus);
  const bool all_same =
      std::adjacent_find(statuses.begin(), statuses.end(), std::not_equal_to<>()) == statuses.end();
  if (statuses.size() < 2 || (all_same && !any_dead)) return {};
  std::string history;
  for (std::size_t i = 0; i < statuses.size();) {
    std::size_t run = 1;
    while (i + run < statuses.size() && statuses[i + run] == statuses[i]) ++run;
    history += (i == 0 ? "" : ", then ") + std::to_string(statuses[i]);
    if (run == 2) history += " twice";
    if (run > 2) history += " " + std::to_string(run) + " times";
    i += run;
  }
  if (any_dead && link_class != LinkClass::kDead) history += " (not dead)";
  return history;
}

// The two parts of a DETAIL, joined where both say something.
std::string Joined(std::string first, const std::string& second) {
  if (first.empty()) return second;
  if (!second.empty()) first += "; " + second;
  return first;
}

// A probe's or page's body is whole, or cut at its bound, not at a failure.
bool HasBody(const Request& request, CURLcode result, long status) {
  return status == 200 && (result == CURLE_OK || (result == CURLE_WRITE_ERROR && request.body_cut));
}

// Hosts are told apart by a hash of the name, not the name itself, so that a
// long list of links to many hosts costs no memory per host. Two names with
// one hash only share the bound per host.
std::size_t HostKey(std::string host) {
  return std::hash<std::string>{}(LowerAscii(std::move(host)));
}

// A folder that holds links which answered 200 or redirect, and what the
// site answers there for a page that cannot exist.
struct Folder {
  enum class Missing : std::uint8_t { kUnknown, kAnswered, kPage, kRedirect };
  std::string url;
  std::size_t host = 0;
  std::size_t links = 0;
  std::size_t probe = 0;  // the folder whose probe stands for this one's
  bool probed = false;
  Missing missing = Missing::kUnknown;
  PageWords words = {};       // of the missing page, for kPage
  std::string redirect = {};  // the missing page's redirect, shaped, for kRedirect
};

// A link that answered 200 or a redirect, its verdict waiting for its folder's probe.
struct Held {
  std::size_t index = 0;
  std::size_t folder = 0;
  std::uint16_t status = 0;
};

class Checker {
 public:
  Checker(LinkFeed& feed, const CheckSettings& settings,
          const std::function<void(std::size_t, LinkVerdict)>& done)
      : feed_(feed), settings_(settings), done_(done) {}
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
    for (;;) {
      files_ = feed_.Files();
      if (!files_.empty() && !Pass(Purpose::kFile, FileJobs())) return failure_;
      const std::vector<std::size_t> wave = feed_.NextWave();
      if (wave.empty()) break;
      if (!Pass(Purpose::kCheck, CheckJobs(wave))) return failure_;
    }
    // The links that answer 200 or redirect wait for the probes of their
    // folders, and their pages are fetched only where the probe answered 200 too.
    if (!Pass(Purpose::kProbe, ProbeJobs()) || !Pass(Purpose::kPage, PageJobs())) {
      return failure_;
    }
    return std::nullopt;
  }

 private:
  static constexpr const char* kNoRequest = "libcurl could not make a request";

  using Jobs = std::vector<std::pair<std::size_t, std::size_t>>;  // (host key, link or folder)

  // Orders ready_ as a heap with the earliest link in input order on top.
  auto Later() const {
    return [this](std::size_t a, std::size_t b) { return queue_[a].second > queue_[b].second; };
  }

  // Asks for every job, within the bounds; false when the check cannot go on.
  bool Pass(Purpose purpose, Jobs jobs) {
    purpose_ = purpose;
    Queue(std::move(jobs));
    while (!running_.empty() || !ready_.empty() || !waiting_.empty()) {
      if (settings_.stop != nullptr && *settings_.stop != 0) return Fail(kInterrupted);
      if (purpose_ == Purpose::kCheck && queue_.size() - taken_ < Limit()) Refill();
      int still_running = 0;
      if (curl_multi_perform(multi_, &still_running) != CURLM_OK) return Fail(kNoRequest);
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE && !Finished(message->easy_handle, message->data.result)) {
          return false;
        }
      }
      // The slots just freed are filled before the wait, not after it, and
      // the requests just started are sent before it.
      const std::size_t before = started_;
      if (!StartWhatMay()) return false;
      if (started_ != before) continue;
      // The last answer of the pass needs no wait after it.
      if (running_.empty() && ready_.empty() && waiting_.empty()) break;
      if (curl_multi_poll(multi_, nullptr, 0, PollMilliseconds(), nullptr) != CURLM_OK) {
        return Fail(kNoRequest);
      }
    }
    return true;
  }

  // Makes jobs the pass's queue: sorted by host, each host's first job ready
  // or held as its room allows.
  void Queue(Jobs jobs) {
    queue_ = std::move(jobs);
    std::sort(queue_.begin(), queue_.end());
    taken_ = 0;
    ready_.clear();
    for (std::size_t p = 0; p < queue_.size(); ++p) {
      if (p > 0 && queue_[p].first == queue_[p - 1].first) continue;
      const auto host = hosts_.find(queue_[p].first);
      if (host != hosts_.end() && host->second.busy >= settings_.per_host) {
        host->second.held = p;
      } else {
        ready_.push_back(p);
      }
    }
    std::make_heap(ready_.begin(), ready_.end(), Later());
  }

  // Adds the feed's links that may join the pass to the jobs not yet taken.
  void Refill() {
    const std::vector<std::size_t> more = feed_.MoreLinks();
    if (more.empty()) return;
    Jobs jobs = CheckJobs(more);
    // A host's jobs not yet taken run from its held or ready position on.
    const auto add_rest = [&](std::size_t p) {
      for (std::size_t q = p; q < queue_.size() && queue_[q].first == queue_[p].first; ++q) {
        jobs.push_back(queue_[q]);
      }
    };
    for (auto& [key, host] : hosts_) {
      if (host.held) add_rest(*std::exchange(host.held, std::nullopt));
    }
    for (const std::size_t p : ready_) add_rest(p);
    Queue(std::move(jobs));
  }

  // A host's requests running or waiting to retry, and the position of its
  // next link while it has no room for it.
  struct HostState {
    int busy = 0;
    std::optional<std::size_t> held;
  };

  std::string_view Link(std::size_t index) const { return feed_.Links()[index]; }

  // Settles the wave's invalid links; the others are to be checked.
  Jobs CheckJobs(const std::vector<std::size_t>& wave) {
    Jobs jobs;
    jobs.reserve(wave.size());
    for (const std::size_t i : wave) {
      if (std::optional<Target> target = TargetOf(Link(i))) {
        jobs.emplace_back(HostKey(std::move(target->host)), i);
      } else {
        done_(i, {LinkClass::kInvalid, 0, "not an http or https URL"});
      }
    }
    return jobs;
  }

  // The files the feed wants; one it cannot have is answered at once.
  Jobs FileJobs() {
    Jobs jobs;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (std::optional<Target> target = TargetOf(files_[i])) {
        jobs.emplace_back(HostKey(std::move(target->host)), i);
      } else {
        feed_.TakeFile(i, 0, {});
      }
    }
    return jobs;
  }

  // The folder of url on host, made known.
  std::size_t FolderId(const std::string& url, std::size_t host) {
    const auto [it, added] = folder_ids_.try_emplace(url, folders_.size());
    if (added) folders_.push_back(Folder{url, host});
    return it->second;
  }

  // One probe for each folder that holds a held link, up to kProbedFolders
  // a site: past that, the folders with the most such links and the root,
  // and each other folder stands with the nearest probed folder above it.
  Jobs ProbeJobs() {
    std::map<std::string, std::vector<std::size_t>> by_site;  // by the root folder's URL
    for (std::size_t f = 0; f < folders_.size(); ++f) {
      const std::string& url = folders_[f].url;
      by_site[url.substr(0, url.size() - PathOfFolder(url).size() + 1)].push_back(f);
    }
    Jobs jobs;
    for (const auto& [root, ids] : by_site) {
      std::vector<std::size_t> chosen = ids;
      if (chosen.size() > kProbedFolders) {
        std::sort(chosen.begin(), chosen.end(), [&](std::size_t a, std::size_t b) {
          const Folder& x = folders_[a];
          const Folder& y = folders_[b];
          return x.links != y.links ? x.links > y.links : x.url < y.url;
        });
        chosen.resize(kProbedFolders - 1);
        const std::size_t root_id = FolderId(root, folders_[ids.front()].host);
        if (std::ranges::find(chosen, root_id) == chosen.end()) chosen.push_back(root_id);
      }
      for (const std::size_t id : chosen) {
        folders_[id].probed = true;
        jobs.emplace_back(folders_[id].host, id);
      }
      for (const std::size_t id : ids) folders_[id].probe = NearestProbed(folders_[id].url);
    }
    return jobs;
  }

  // The probed folder nearest above the folder, or at it.
  std::size_t NearestProbed(std::string url) {
    for (;;) {
      const auto it = folder_ids_.find(url);
      if (it != folder_ids_.end() && folders_[it->second].probed) return it->second;
      url = ParentFolder(url).value_or(url);  // the root is probed: the walk ends there
    }
  }

  // The pages of the held links that answered 200 in folders whose probe
  // answered 200 too; every other held link is settled.
  Jobs PageJobs() {
    Jobs jobs;
    for (const Held& held : held_) {
      const Folder& missing = folders_[folders_[held.folder].probe];
      std::vector<std::uint16_t> statuses = TakeStatuses(held.index, held.status);
      if (held.status == 200 && missing.missing == Folder::Missing::kPage) {
        statuses_[held.index] = std::move(statuses);  // the page's answer adds to them
        jobs.emplace_back(folders_[held.folder].host, held.index);
      } else if (held.status == 200) {
        Give(held.index, LinkClass::kAlive, 200, statuses, {});
      } else {
        SettleRedirect(held, missing, statuses);
      }
    }
    held_ = std::vector<Held>();
    return jobs;
  }

  // The answers of a held link, which the last of them ended.
  std::vector<std::uint16_t> TakeStatuses(std::size_t index, std::uint16_t last) {
    auto taken = statuses_.extract(index);
    return taken ? std::move(taken.mapped()) : std::vector<std::uint16_t>{last};
  }

  void SettleRedirect(const Held& held, const Folder& missing,
                      const std::vector<std::uint16_t>& statuses) {
    auto [location, target] = std::move(redirects_[held.index]);
    redirects_.erase(held.index);
    const std::string url = TargetOf(Link(held.index))->url;
    if (missing.missing == Folder::Missing::kRedirect &&
        RedirectShape(target, PathOf(url)) == missing.redirect) {
      Give(held.index, LinkClass::kSoft404, held.status, statuses,
           "redirects where a missing page in " + PathOfFolder(missing.url) + " does");
      return;
    }
    Give(held.index, LinkClass::kRedirect, held.status, statuses, location);
  }

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
      ++taken_;
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
    if (Spaced(request->host)) {
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
    double seconds = settings_.rate > 0 ? 1 / settings_.rate : 0;
    if (const auto delay = pauses_.find(host); delay != pauses_.end()) {
      seconds = std::max(seconds, delay->second);
    }
    seconds = std::min(seconds, 86400.0);
    next_start_[host] =
        now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    // The hosts whose time has come need no entry: the map keeps to about
    // the hosts asked in the last interval.
    if (next_start_.size() >= 2 * spaced_hosts_ + 64) {
      std::erase_if(next_start_, [&](const auto& entry) { return entry.second <= now; });
      spaced_hosts_ = next_start_.size();
    }
  }

  // Whether the host's requests are spaced: by the rate, or a pause its robots.txt asks.
  bool Spaced(std::size_t host) const { return settings_.rate > 0 || pauses_.contains(host); }

  std::size_t Limit() const { return static_cast<std::size_t>(settings_.concurrency); }

  std::unique_ptr<Request> NewRequest(std::size_t key, std::size_t index) {
    auto request = std::make_unique<Request>();
    request->purpose = purpose_;
    request->index = index;
    request->host = key;
    request->body_limit = settings_.max_body_bytes;
    if (purpose_ == Purpose::kProbe) {
      request->url = folders_[index].url + ProbeName();
    } else if (purpose_ == Purpose::kFile) {
      request->url = TargetOf(files_[index])->url;
      request->body_limit = kFileBytes;
    } else {
      request->url = TargetOf(Link(index))->url;  // only links with one are jobs
    }
    if (purpose_ == Purpose::kCheck && feed_.WantsPage(index)) {
      request->read_page = true;
      request->body_limit = settings_.max_page_bytes;
    }
    // PageJobs keeps the answers of each page's link.
    if (purpose_ == Purpose::kPage) request->statuses = TakeStatuses(index, 200);
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
    // A crawler asks with GET, and some servers answer HEAD otherwise.
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    const bool file = request->purpose == Purpose::kFile;
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, file ? 1L : 0L);
    if (file) curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    if (request->fresh) curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    const bool keeps = request->purpose != Purpose::kCheck || request->read_page;
    if (!keeps) request->dropped = 0;
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, keeps ? KeepBody : DropBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, request.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, HeaderLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request->answer);
    request->error[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, request->error);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, request.get());
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &sockets_);
    request->easy = easy;
    request->sockets = &sockets_;
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, CleanConnectionOnly);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, request.get());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, settings_.user_agent.c_str());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, settings_.timeout_ms);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, settings_.timeout_ms);
    // The system's CA store stays in use (CURLOPT_CAPATH); the file adds to it.
    if (settings_.cacert) curl_easy_setopt(easy, CURLOPT_CAINFO, settings_.cacert->c_str());
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
      curl_easy_cleanup(easy);
      return Fail(kNoRequest);
    }
    if (Spaced(request->host)) Space(request->host);
    running_.emplace(easy, std::move(request));
    ++started_;
    return true;
  }

  // Settles the link or asks again; false when the check cannot go on.
  bool Finished(CURL* easy, CURLcode result) {
    std::unique_ptr<Request> request = std::move(running_.extract(easy).mapped());
    long status = 0;
    long os_errno = 0;
    long connects = 0;
    if (request->answer.complete) curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &os_errno);
    curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connects);
    curl_multi_remove_handle(multi_, easy);
    curl_easy_cleanup(easy);
    // No link is to blame for a process out of descriptors, and none would get an answer.
    if (request->out_of_descriptors) return Fail("too many open files");

    // A connection that an earlier answer used may still hold that answer's
    // bytes, or have been closed by the server meanwhile.
    const bool reused = connects == 0 && result != CURLE_COULDNT_RESOLVE_HOST &&
                        result != CURLE_COULDNT_RESOLVE_PROXY && result != CURLE_OPERATION_TIMEDOUT;
    if (status == 0 && reused && !request->fresh) {
      request->fresh = true;
      return Launch(std::move(request));
    }
    const bool retryable = status == 429 || (status >= 500 && status < 600) ||
                           (status == 0 && IsConnectionFailure(result));
    if (retryable && !request->retried && Retry(request)) return true;
    if (status != 0) request->statuses.push_back(static_cast<std::uint16_t>(status));
    if (NeedsConfirmation(*request, status)) {
      // A dead link is dead on two connections: a deploy, a cache or a
      // connection's leftover bytes say 404 once.
      ++request->confirmations;
      request->fresh = true;
      request->retried = false;
      return Launch(std::move(request));
    }
    Conclude(*request, status, result, os_errno);
    Settle(request->host);
    return true;
  }

  // A link's 404 or 410 stands once the answer before it said the same.
  static bool NeedsConfirmation(const Request& request, long status) {
    const std::vector<std::uint16_t>& statuses = request.statuses;
    return (request.purpose == Purpose::kCheck || request.purpose == Purpose::kPage) &&
           IsDeadStatus(status) &&
           (statuses.size() < 2 || !IsDeadStatus(statuses[statuses.size() - 2])) &&
           request.confirmations < kConfirmations;
  }

  // Takes in what the request's last answer tells.
  void Conclude(Request& request, long status, CURLcode result, long os_errno) {
    switch (request.purpose) {
      case Purpose::kFile:
        if (const double pause = feed_.TakeFile(request.index, status, request.body); pause > 0) {
          pauses_[request.host] = pause;
        }
        break;
      case Purpose::kCheck:
        TellFeed(request, status);
        if (status == 200 || (IsRedirectStatus(status) && !request.answer.location.empty())) {
          Hold(request, status);
        } else {
          GiveVerdict(request, status, result, os_errno);
        }
        break;
      case Purpose::kProbe:
        TakeProbe(request, status, result);
        break;
      case Purpose::kPage: {
        const std::size_t folder = folder_ids_.at(FolderOf(request.url).value_or(request.url));
        const Folder& missing = folders_[folders_[folder].probe];
        if (!HasBody(request, result, status)) {
          // A page that cannot be fetched now answered 200 a moment ago.
          GiveVerdict(request, status == 0 ? 200 : status, result, os_errno);
          break;
        }
        const std::optional<double> alike =
            Likeness(WordsOf(request.body, PathOf(request.url)), missing.words);
        if (!alike) {
          GiveVerdict(request, status, result, os_errno);
          break;
        }
        char likeness[32];
        std::snprintf(likeness, sizeof likeness, "%.2f", std::floor(*alike * 100) / 100);
        Give(request.index, LinkClass::kSoft404, 200, request.statuses,
             "same text as a missing page in " + PathOfFolder(missing.url) + " (" + likeness +
                 " alike)");
        break;
      }
    }
  }

  // Hands the feed the page it reads, or where the link redirects.
  void TellFeed(Request& request, long status) {
    if (status == 200 && request.read_page && request.answer.html && !request.body.empty()) {
      feed_.TakePage(request.index, request.url, std::move(request.body));
      request.body = std::string();
    } else if (IsRedirectStatus(status) && !request.answer.location.empty()) {
      if (const auto target = RedirectTarget(request.url, request.answer.location)) {
        feed_.TakeRedirect(request.index, *target);
      }
    }
  }

  // The link's verdict from its last answer (an error where there was none):
  // why there was no status, or where a redirect points.
  void GiveVerdict(const Request& request, long status, CURLcode result, long os_errno) {
    const LinkClass link_class = ClassOfStatus(status);
    Give(request.index, link_class, status, request.statuses,
         status == 0                          ? ReasonOfNoStatus(request, result, os_errno)
         : link_class == LinkClass::kRedirect ? request.answer.location
                                              : std::string());
  }

  // The link's verdict, with what its answers before the last tell.
  void Give(std::size_t index, LinkClass link_class, long status,
            const std::vector<std::uint16_t>& statuses, const std::string& detail) {
    done_(index, {link_class, status, Joined(HistoryOf(statuses, link_class), detail)});
  }

  // Puts a link that answered 200 or a redirect to wait for its folder's probe,
  // unless it redirects to the home page: a search engine takes that for a
  // missing page.
  void Hold(Request& request, long status) {
    const std::optional<std::string> target = RedirectTarget(request.url, request.answer.location);
    if (status != 200 && target && IsHomePageOf(*target, request.url)) {
      Give(request.index, LinkClass::kSoft404, status, request.statuses,
           "redirects to the home page");
      return;
    }
    const std::optional<std::string> folder = FolderOf(request.url);
    if (!folder || (status != 200 && !target)) {
      GiveVerdict(request, status, CURLE_OK, 0);
      return;
    }
    const std::size_t id = FolderId(*folder, request.host);
    ++folders_[id].links;
    held_.push_back({request.index, id, static_cast<std::uint16_t>(status)});
    if (request.statuses.size() > 1) statuses_[request.index] = std::move(request.statuses);
    if (status != 200) redirects_[request.index] = {request.answer.location, *target};
  }

  // What the probe tells of its folder's missing pages.
  void TakeProbe(const Request& probe, long status, CURLcode result) {
    Folder& folder = folders_[probe.index];
    const std::optional<std::string> target = RedirectTarget(probe.url, probe.answer.location);
    if (HasBody(probe, result, status)) {
      folder.missing = Folder::Missing::kPage;
      folder.words = WordsOf(probe.body, PathOf(probe.url));
    } else if (IsRedirectStatus(status) && target) {
      folder.missing = Folder::Missing::kRedirect;
      folder.redirect = RedirectShape(*target, PathOf(probe.url));
    } else {
      folder.missing = Folder::Missing::kAnswered;
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
      Offer(*std::exchange(host.held, std::nullopt), host);
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

  // A host's folders probed at most; each probe is one request.
  static constexpr std::size_t kProbedFolders = 32;
  // A link asked again after a 404 or 410 at most: once, and once more
  // where the second answer was not dead but a third one is.
  static constexpr int kConfirmations = 2;
  // Of a file the feed wants read at most: robots.txt's least bound.
  static constexpr std::size_t kFileBytes = 512 << 10;

  LinkFeed& feed_;
  std::vector<std::string> files_;  // that the feed wants, this round
  const CheckSettings& settings_;
  const std::function<void(std::size_t, LinkVerdict)>& done_;
  CURLM* multi_ = nullptr;
  std::string failure_;
  Purpose purpose_ = Purpose::kCheck;  // of the pass under way
  std::vector<Held> held_;             // the links that answered 200 or redirect
  std::unordered_map<std::size_t, std::vector<std::uint16_t>>
      statuses_;  // of held links asked twice
  // The redirects held: the Location as sent, and the URL it resolves to.
  std::unordered_map<std::size_t, std::pair<std::string, std::string>> redirects_;
  std::vector<Folder> folders_;                              // of the held links
  std::unordered_map<std::string, std::size_t> folder_ids_;  // by folder URL
  Jobs queue_;                                               // the pass's jobs, sorted
  std::vector<std::size_t> ready_;  // positions in queue_ of hosts' next links, a heap
  std::unordered_map<std::size_t, HostState> hosts_;  // the hosts with requests running or waiting
  std::unordered_map<CURL*, std::unique_ptr<Request>> running_;
  // Retries, and with a rate the requests whose host must wait, by due time.
  std::multimap<Clock::time_point, std::unique_ptr<Request>> waiting_;
  std::unordered_map<std::size_t, Clock::time_point> next_start_;  // by host key, with a rate
  std::unordered_map<std::size_t, double> pauses_;  // seconds, by host key, that robots.txt asks
  std::size_t spaced_hosts_ = 0;                    // in next_start_ after its last sweep
  std::size_t started_ = 0;                         // requests handed to libcurl
  std::size_t taken_ = 0;                           // of the pass's queue, started
  // Open, in use or kept for the next request, with their local ports once known.
  std::unordered_map<curl_socket_t, int> sockets_;
};

}  // namespace

std::string_view ClassName(LinkClass link_class) {
  constexpr std::string_view kNames[] = {"dead", "alive", "soft404", "redirect", "error"};
  const auto at = static_cast<std::size_t>(link_class);
  return at < std::size(kNames) ? kNames[at] : "invalid";
}

std::optional<std::string> CheckLinks(std::span<const std::string_view> links,
                                      const CheckSettings& settings,
                                      const std::function<void(std::size_t, LinkVerdict)>& done) {
  // Every link in one wave, no page read.
  class ListFeed final : public LinkFeed {
   public:
    explicit ListFeed(std::span<const std::string_view> links) : links_(links) {}
    std::span<const std::string_view> Links() const override { return links_; }
    std::vector<std::string> Files() override { return {}; }
    double TakeFile(std::size_t, long, std::string_view) override { return 0; }
    std::vector<std::size_t> MoreLinks() override { return {}; }
    std::vector<std::size_t> NextWave() override {
      std::vector<std::size_t> wave(asked_ ? 0 : links_.size());
      std::iota(wave.begin(), wave.end(), std::size_t{0});
      asked_ = true;
      return wave;
    }
    bool WantsPage(std::size_t) override { return false; }
    void TakePage(std::size_t, const std::string&, std::string) override {}
    void TakeRedirect(std::size_t, const std::string&) override {}

   private:
    std::span<const std::string_view> links_;
    bool asked_ = false;
  } feed(links);
  return CheckFeed(feed, settings, done);
}

std::optional<std::string> CheckFeed(LinkFeed& feed, const CheckSettings& settings,
                                     const std::function<void(std::size_t, LinkVerdict)>& done) {
  return Checker(feed, settings, done).Run();
}

}  // namespace lirrevo::check
