// The test web servers (tests/support/link_server.py) on loopback addresses,
// for the tests of the check, the sitemap reader and update.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace lirrevo::test {

// The test server: started with its addresses, stopped by closing its input,
// after which it tells what it saw. It ends by itself after two minutes.
class LinkServer {
 public:
  // files: the folder that /files/NAME serves, and /state/NAME reads; site:
  // a folder served at its own paths, or empty.
  explicit LinkServer(int hosts, const std::vector<std::string>& tls = {},
                      const std::string& files = ".", const std::string& site = "");
  ~LinkServer();
  LinkServer(const LinkServer&) = delete;
  LinkServer& operator=(const LinkServer&) = delete;

  // "http://127.0.0.N:PORT" for host n (1-based), or the HTTPS server's.
  std::string Http(int n) const;
  std::string Https() const;

  // Ends the server; its report, one "name value..." entry a line.
  std::map<std::string, std::string> Stop();

 private:
  // Reads the server's output up to `end` (or its end) within ms milliseconds.
  std::string ReadUntil(char end, int ms);

  pid_t pid_ = -1;
  int to_server_ = -1;
  int from_server_ = -1;
  std::vector<int> ports_;
};

}  // namespace lirrevo::test
