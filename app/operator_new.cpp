// The program's global operator new: the standard behaviour (retry through
// the new-handler, then throw), plus a note of the size asked for, which the
// fatal error for exhausted memory names. Every other form of new and delete
// is replaced too, so that all of them share malloc and free even where a
// runtime (a sanitizer's, for one) brings forms of its own: a block from its
// nothrow new must never reach the free below.
#include <cstdlib>
#include <new>

#include "ui/allocation_failure.h"

void* operator new(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = std::malloc(size)) return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) {
      lirrevo::ui::NoteFailedAllocation(size);
      throw std::bad_alloc();
    }
    handler();
  }
}

void* operator new[](std::size_t size) { return ::operator new(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ::operator new(size, std::nothrow);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
