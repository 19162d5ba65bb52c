#include "ui/allocation_failure.h"

#include <cstdlib>
#include <new>

namespace lirrevo::ui {
namespace {
thread_local std::size_t failed_size = 0;
}  // namespace

std::size_t FailedAllocationSize() { return failed_size; }
void ResetFailedAllocationSize() { failed_size = 0; }

}  // namespace lirrevo::ui

// The standard behaviour (retry through the new-handler, then throw), plus a
// note of the size. operator new[] and the nothrow forms come here too.
void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) {
      lirrevo::ui::failed_size = size;
      throw std::bad_alloc();
    }
    handler();
  }
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
