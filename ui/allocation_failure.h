// Remembers the size of an allocation that failed, so that the fatal error
// for exhausted memory can name it. The program's own operator new (app/)
// notes the size; without it the size stays unknown (0).
#pragma once

#include <cstddef>
#include <string>

namespace lirrevo::ui {

// The size of the last request that operator new could not satisfy on this
// thread since the last reset; 0 when none failed.
std::size_t FailedAllocationSize();
void ResetFailedAllocationSize();
void NoteFailedAllocation(std::size_t size);

// "分配 N 字节内存失败!" in GBK, N being the bytes asked for in decimal; where
// the size is not known (0) the sentence names no number: "分配内存失败!".
std::string AllocationFailureMessage(std::size_t size);

}  // namespace lirrevo::ui
