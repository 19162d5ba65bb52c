#include "cli/link_check.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <utility>

namespace lirrevo::cli {
namespace {

using Clock = std::chrono::steady_clock;

// One link's requests: HEAD, perhaps GET, perhaps one retry of either.
struct Request {
  std::size_t index = 0;
  std::size_t host = 0;
  std::string url;
  bool get = false;
  bool retried = false;
  std::optional<long> retry_after_s;  // from the last answer
  Clock::time_point due;              // when a waiting retry may start
};

struct Host {
  std::deque<std::size_t> pending;  // indexes into the link list, in order
  int busy = 0;                     // requests in flight or waiting to retry
};

// Takes "Retry-After: N" (seconds) or an HTTP date from the answer's headers.
std::size_t HeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
  const std::size_t length = size * count;
  constexpr std::string_view kName = "retry-after:";
  if (length > kName.size() && strncasecmp(data, kName.data(), kName.size()) == 0) {
    std::string value(data + kName.size(), length - kName.size());
    value.erase(0, value.find_first_not_of(" \t"));
    value.erase(value.find_last_not_of(" \t\r\n") + 1);
    auto* request = static_cast<Request*>(user);
    char* end = nullptr;
    const long seconds = std::strtol(value.c_str(), &end, 10);
    if (!value.empty() && *end == '\0' && seconds >= 0) {
      request->retry_after_s = seconds;
    } else if (const time_t when = curl_getdate(value.c_str(), nullptr); when >= 0) {
      request->retry_after_s = std::max<long>(0, static_cast<long>(when - std::time(nullptr)));
    }
  }
  return length;
}

std::size_t DropBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

bool IsConnectionFailure(CURLcode result) {
  return result == CURLE_COULDNT_CONNECT || result == CURLE_GOT_NOTHING ||
         result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR;
}

class Checker {
 public:
  Checker(const CheckSettings& settings, const std::function<void(std::size_t, LinkVerdict)>& done)
      : settings_(settings), done_(done) {}
  ~Checker() {
    for (auto& [easy, request] : running_) {
      curl_multi_remove_handle(multi_, easy);
      curl_easy_cleanup(easy);
    }
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
  }

  bool Run(const std::vector<std::string>& links) {
    multi_ = curl_multi_init();
    if (multi_ == nullptr) return false;
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(settings_.per_host));
    for (std::size_t i = 0; i < links.size(); ++i) Enqueue(i, links[i]);
    for (std::size_t h = 0; h < hosts_.size(); ++h) MarkEligible(h);
    while (!running_.empty() || !eligible_.empty() || !waiting_.empty()) {
      int still_running = 0;
      if (curl_multi_perform(multi_, &still_running) != CURLM_OK) return false;
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE && !Finished(message->easy_handle, message->data.result)) {
          return false;
        }
      }
      // The slots just freed are filled before the wait, not after it.
      if (!StartWhatMay()) return false;
      if (curl_multi_poll(multi_, nullptr, 0, PollMilliseconds(), nullptr) != CURLM_OK) {
        return false;
      }
    }
    return true;
  }

 private:
  void Enqueue(std::size_t index, const std::string& link) {
    std::optional<std::string> url = RequestUrl(link);
    if (!url) {
      done_(index, {LinkClass::kInvalid, 0});
      return;
    }
    const std::string host = HostOf(*url);
    const auto [it, added] = host_ids_.try_emplace(host, hosts_.size());
    if (added) hosts_.emplace_back();
    hosts_[it->second].pending.push_back(index);
    urls_.emplace(index, *std::move(url));
  }

  static std::string HostOf(const std::string& url) {
    std::string host;
    CURLU* parsed = curl_url();
    char* part = nullptr;
    if (parsed != nullptr && curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
      host = part;
      curl_free(part);
    }
    curl_url_cleanup(parsed);
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return host;
  }

  // A host may take another request when it has one pending and room for it.
  void MarkEligible(std::size_t h) {
    Host& host = hosts_[h];
    if (!host.pending.empty() && host.busy < settings_.per_host) {
      eligible_.emplace(host.pending.front(), h);
    }
  }

  // Starts due retries first, then the earliest pending links of the hosts
  // with room, while the total bound allows.
  bool StartWhatMay() {
    const Clock::time_point now = Clock::now();
    for (auto it = waiting_.begin();
         it != waiting_.end() && running_.size() < Limit() && it->first <= now;) {
      std::unique_ptr<Request> request = std::move(it->second);
      it = waiting_.erase(it);
      if (!Start(std::move(request))) return false;
    }
    while (running_.size() < Limit() && !eligible_.empty()) {
      const auto [index, h] = *eligible_.begin();
      eligible_.erase(eligible_.begin());
      Host& host = hosts_[h];
      host.pending.pop_front();
      ++host.busy;
      MarkEligible(h);
      auto request = std::make_unique<Request>();
      request->index = index;
      request->host = h;
      const auto url = urls_.find(index);
      request->url = std::move(url->second);
      urls_.erase(url);
      if (!Start(std::move(request))) return false;
    }
    return true;
  }

  std::size_t Limit() const { return static_cast<std::size_t>(settings_.concurrency); }

  bool Start(std::unique_ptr<Request> request) {
    CURL* easy = curl_easy_init();
    if (easy == nullptr) return false;
    request->retry_after_s.reset();
    curl_easy_setopt(easy, CURLOPT_URL, request->url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    if (request->get) {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, DropBody);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, HeaderLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, request.get());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, settings_.user_agent.c_str());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, settings_.timeout_ms);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, settings_.timeout_ms);
    // The system's CA store stays in use (CURLOPT_CAPATH); the file adds to it.
    if (settings_.cacert) curl_easy_setopt(easy, CURLOPT_CAINFO, settings_.cacert->c_str());
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
      curl_easy_cleanup(easy);
      return false;
    }
    running_.emplace(easy, std::move(request));
    return true;
  }

  // Settles the link or asks again; false when a new request cannot be made.
  bool Finished(CURL* easy, CURLcode result) {
    const auto it = running_.find(easy);
    std::unique_ptr<Request> request = std::move(it->second);
    running_.erase(it);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_multi_remove_handle(multi_, easy);
    curl_easy_cleanup(easy);

    if (!request->get && (status == 405 || status == 501)) {
      request->get = true;
      return Start(std::move(request));
    }
    const bool retryable = status == 429 || (status >= 500 && status < 600) ||
                           (status == 0 && IsConnectionFailure(result));
    if (retryable && !request->retried) {
      long pause_ms = std::min(settings_.retry_pause_ms, settings_.timeout_ms);
      if (request->retry_after_s) pause_ms = *request->retry_after_s * 1000;
      // A server that asks for a longer wait than a request may take keeps its answer.
      if (pause_ms <= settings_.timeout_ms) {
        request->retried = true;
        request->due = Clock::now() + std::chrono::milliseconds(pause_ms);
        waiting_.emplace(request->due, std::move(request));
        return true;
      }
    }
    const LinkVerdict verdict = status == 0 ? LinkVerdict{LinkClass::kError, 0}
                                            : LinkVerdict{ClassOfStatus(status), status};
    done_(request->index, verdict);
    --hosts_[request->host].busy;
    MarkEligible(request->host);
    return true;
  }

  int PollMilliseconds() const {
    long wait = 200;
    if (!waiting_.empty()) {
      const auto until = std::chrono::duration_cast<std::chrono::milliseconds>(
          waiting_.begin()->first - Clock::now());
      wait = std::clamp<long>(until.count(), 0, wait);
    }
    return static_cast<int>(wait);
  }

  const CheckSettings& settings_;
  const std::function<void(std::size_t, LinkVerdict)>& done_;
  CURLM* multi_ = nullptr;
  std::vector<Host> hosts_;
  std::unordered_map<std::string, std::size_t> host_ids_;
  std::unordered_map<std::size_t, std::string> urls_;       // of the links not yet started
  std::set<std::pair<std::size_t, std::size_t>> eligible_;  // (first pending index, host)
  std::unordered_map<CURL*, std::unique_ptr<Request>> running_;
  std::multimap<Clock::time_point, std::unique_ptr<Request>> waiting_;
};

}  // namespace

std::string_view ClassName(LinkClass link_class) {
  switch (link_class) {
    case LinkClass::kDead:
      return "dead";
    case LinkClass::kAlive:
      return "alive";
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

std::optional<std::string> RequestUrl(const std::string& link) {
  const bool http =
      strncasecmp(link.c_str(), "http://", 7) == 0 || strncasecmp(link.c_str(), "https://", 8) == 0;
  const bool clean = std::none_of(link.begin(), link.end(), [](char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
  });
  if (!http || !clean) return std::nullopt;
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return std::nullopt;
  std::optional<std::string> url;
  char* host = nullptr;
  char* whole = nullptr;
  if (curl_url_set(parsed, CURLUPART_URL, link.c_str(), CURLU_URLENCODE) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && host[0] != '\0' &&
      curl_url_get(parsed, CURLUPART_URL, &whole, 0) == CURLUE_OK) {
    url = whole;
  }
  curl_free(host);
  curl_free(whole);
  curl_url_cleanup(parsed);
  return url;
}

bool CheckLinks(const std::vector<std::string>& links, const CheckSettings& settings,
                const std::function<void(std::size_t, LinkVerdict)>& done) {
  Checker checker(settings, done);
  return checker.Run(links);
}

}  // namespace lirrevo::cli
