// gzip compression of a stream of chunks, and its inflation (zlib).
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

// Inflates gzip data of one member or several, one after another as
// `cat a.gz b.gz` joins them: read as one stream, as zcat reads them.
class Gunzip {
 public:
  Gunzip();
  ~Gunzip();
  Gunzip(const Gunzip&) = delete;
  Gunzip& operator=(const Gunzip&) = delete;

  // Inflates from the front of input into out, at most size bytes, and takes
  // what it used off input: how many bytes it put in out (0 when it needs
  // more input), or -1 where the data is damaged (Error() says how). More
  // may be left to inflate while out comes back full.
  long Inflate(std::string_view& input, char* out, std::size_t size);
  // Whether the data inflated so far ends where a member ends: else it was
  // cut short.
  bool Whole() const;
  // "the gzip data ends early", or "the gzip data is corrupt (zlib's cause)".
  std::string Error() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace lirrevo
