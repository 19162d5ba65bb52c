#include "core/files/block_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace lirrevo {
namespace {

constexpr std::size_t kRawBlock = std::size_t{64} << 10;

}  // namespace

BlockInput::~BlockInput() {
  if (own_fd_) close(fd_);
}

long BlockInput::Fail(std::string why) {
  if (error_.empty()) error_ = std::move(why);
  return -1;
}

bool BlockInput::Open(const std::string& name) {
  own_fd_ = name != "-";
  fd_ = own_fd_ ? open(name.c_str(), O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
  if (fd_ < 0) {
    own_fd_ = false;
    return Fail(std::strerror(errno)) == 0;
  }
  // The first bytes tell gzip (1f 8b) from plain; a pipe may give them one
  // at a time.
  while (raw_.size() < 2 && !at_end_) {
    if (!Refill()) return false;
  }
  if (raw_.size() >= 2 && raw_[0] == '\x1f' && raw_[1] == '\x8b') {
    gunzip_ = std::make_unique<Gunzip>();
  } else {
    struct stat st {};
    if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      size_ = static_cast<std::size_t>(st.st_size);
    }
  }
  return true;
}

bool BlockInput::Refill() {
  const std::size_t held = raw_.size();
  raw_.resize(held + kRawBlock);
  ssize_t got;
  do {
    got = read(fd_, raw_.data() + held, kRawBlock);
  } while (got < 0 && errno == EINTR);
  raw_.resize(held + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  if (got < 0) return Fail(std::strerror(errno)) == 0;
  at_end_ = got == 0;
  return true;
}

long BlockInput::Read(char* block, std::size_t size) {
  if (!error_.empty()) return -1;
  if (!gunzip_) {
    // What was read to look at the first bytes goes first; then the
    // descriptor is read straight into the block.
    if (raw_at_ < raw_.size()) {
      const std::size_t n = std::min(size, raw_.size() - raw_at_);
      std::memcpy(block, raw_.data() + raw_at_, n);
      raw_at_ += n;
      return static_cast<long>(n);
    }
    if (at_end_) return 0;
    ssize_t got;
    do {
      got = read(fd_, block, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return Fail(std::strerror(errno));
    at_end_ = got == 0;
    return static_cast<long>(got);
  }
  for (;;) {
    std::string_view input(raw_.data() + raw_at_, raw_.size() - raw_at_);
    const long made = gunzip_->Inflate(input, block, size);
    raw_at_ = raw_.size() - input.size();
    if (made < 0) return Fail(gunzip_->Error());
    if (made > 0) return made;
    if (raw_at_ == raw_.size()) {
      if (at_end_) return gunzip_->Whole() ? 0 : Fail(gunzip_->Error());
      raw_.clear();
      raw_at_ = 0;
      if (!Refill()) return -1;
    }
  }
}

}  // namespace lirrevo
