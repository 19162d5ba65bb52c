#include "core/files/gzip_stream.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace lirrevo {

struct GzipStream::State {
  z_stream z{};
  bool ready = false;
  std::string buffer = std::string(std::size_t{1} << 18, '\0');
};

GzipStream::GzipStream(Out out) : state_(std::make_unique<State>()), out_(std::move(out)) {
  // 15 + 16: the largest window, wrapped as gzip (no name, no time stamp).
  state_->ready = deflateInit2(&state_->z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                               Z_DEFAULT_STRATEGY) == Z_OK;
}

GzipStream::~GzipStream() {
  if (state_->ready) deflateEnd(&state_->z);
}

bool GzipStream::Deflate(std::string_view bytes, int flush) {
  if (!state_->ready) return false;
  z_stream& z = state_->z;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(state_->buffer.data());
    z.avail_out = static_cast<uInt>(state_->buffer.size());
    const int result = deflate(&z, flush);
    if (result == Z_STREAM_ERROR) return false;
    const std::size_t produced = state_->buffer.size() - z.avail_out;
    if (produced != 0 && !out_(std::string_view(state_->buffer.data(), produced))) return false;
    if (flush == Z_FINISH ? result == Z_STREAM_END : z.avail_out != 0) return true;
  }
}

bool GzipStream::Write(std::string_view bytes) {
  // avail_in is 32 bits wide: very large chunks go in slices.
  constexpr std::size_t kSlice = std::size_t{1} << 30;
  for (; bytes.size() > kSlice; bytes.remove_prefix(kSlice)) {
    if (!Deflate(bytes.substr(0, kSlice), Z_NO_FLUSH)) return false;
  }
  return Deflate(bytes, Z_NO_FLUSH);
}

bool GzipStream::Finish() { return Deflate({}, Z_FINISH); }

struct Gunzip::State {
  z_stream z{};
  bool ready = false;
  bool begun = false;  // some data came
  bool ended = true;   // the member read last is whole
  std::string cause;   // zlib's, for damaged data
};

Gunzip::Gunzip() : state_(std::make_unique<State>()) {
  // 15 + 16: any window, and the gzip wrapping only.
  state_->ready = inflateInit2(&state_->z, 15 + 16) == Z_OK;
}

Gunzip::~Gunzip() {
  if (state_->ready) inflateEnd(&state_->z);
}

long Gunzip::Inflate(std::string_view& input, char* out, std::size_t size) {
  State& s = *state_;
  if (!s.ready) {
    s.cause = "zlib could not start";
    return -1;
  }
  if (s.ended && !input.empty()) {
    if (s.begun && inflateReset(&s.z) != Z_OK) return -1;
    s.begun = true;
    s.ended = false;
  }
  z_stream& z = s.z;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(input.size(), UINT_MAX));
  const uInt room = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
  z.next_out = reinterpret_cast<Bytef*>(out);
  z.avail_out = room;
  const uInt offered = z.avail_in;
  const int result = s.ended ? Z_BUF_ERROR : inflate(&z, Z_NO_FLUSH);
  if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
    s.cause = z.msg != nullptr ? z.msg : "zlib error " + std::to_string(result);
    return -1;
  }
  s.ended = s.ended || result == Z_STREAM_END;
  input.remove_prefix(offered - z.avail_in);
  return static_cast<long>(room - z.avail_out);
}

bool Gunzip::Whole() const { return state_->ended; }

std::string Gunzip::Error() const {
  if (!state_->cause.empty()) return "the gzip data is corrupt (" + state_->cause + ")";
  return "the gzip data ends early";
}

}  // namespace lirrevo
