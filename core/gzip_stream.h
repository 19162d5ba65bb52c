// gzip compression of a stream of chunks (zlib).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace lirrevo {

// Compresses what Write is given into one gzip member and hands the
// compressed bytes to `out` as they come; Finish ends the member. False when
// zlib fails or `out` does.
class GzipStream {
 public:
  using Out = std::function<bool(std::string_view)>;
  explicit GzipStream(Out out);
  ~GzipStream();
  GzipStream(const GzipStream&) = delete;
  GzipStream& operator=(const GzipStream&) = delete;

  bool Write(std::string_view bytes);
  bool Finish();

 private:
  bool Deflate(std::string_view bytes, int flush);

  struct State;
  std::unique_ptr<State> state_;
  Out out_;
};

}  // namespace lirrevo
