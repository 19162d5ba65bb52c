#include "ui/allocation_failure.h"

#include <string_view>

namespace lirrevo::ui {
namespace {
thread_local std::size_t failed_size = 0;

// "分配 ", " 字节内存失败!", "分配内存失败!"
constexpr std::string_view kAllocate = "\xB7\xD6\xC5\xE4 ";
constexpr std::string_view kBytesFailed = " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";
constexpr std::string_view kAllocationFailed = "\xB7\xD6\xC5\xE4\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";
}  // namespace

std::size_t FailedAllocationSize() { return failed_size; }
void ResetFailedAllocationSize() { failed_size = 0; }
void NoteFailedAllocation(std::size_t size) { failed_size = size; }

std::string AllocationFailureMessage(std::size_t size) {
  if (size == 0) return std::string(kAllocationFailed);
  std::string message(kAllocate);
  return message.append(std::to_string(size)).append(kBytesFailed);
}

}  // namespace lirrevo::ui
