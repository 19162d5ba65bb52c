// The one way input is read: a file or standard input, a block at a time,
// plain or gzip, and either to its end or to an error that says why.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/files/gzip_stream.h"

namespace lirrevo {

class BlockInput {
 public:
  BlockInput() = default;
  ~BlockInput();
  BlockInput(const BlockInput&) = delete;
  BlockInput& operator=(const BlockInput&) = delete;

  // Opens the file name, or standard input for "-"; false, with Error(),
  // where it cannot be opened.
  bool Open(const std::string& name);

  // The next bytes, at most size, into block: as they are, or inflated where
  // the input begins as gzip does (every member of it). How many; 0 at the
  // end; -1 where the input cannot be read whole: a read error, or gzip data
  // cut short or corrupt, Error() then saying which.
  long Read(char* block, std::size_t size);

  const std::string& Error() const { return error_; }
  bool IsGzip() const { return gunzip_ != nullptr; }
  // The input's size where it is a plain regular file; else 0.
  std::size_t Size() const { return size_; }

 private:
  // Fills raw_ from the descriptor; false after an error.
  bool Refill();
  long Fail(std::string why);

  int fd_ = -1;
  bool own_fd_ = false;
  std::size_t size_ = 0;
  std::unique_ptr<Gunzip> gunzip_;  // for gzip input
  std::string raw_;                 // read and not yet handed on
  std::size_t raw_at_ = 0;
  bool at_end_ = false;  // the descriptor gave its last byte
  std::string error_;
};

}  // namespace lirrevo
