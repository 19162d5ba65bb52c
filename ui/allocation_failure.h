// Remembers the size of an allocation that failed, so that the fatal error
// for exhausted memory can name it. The global operator new of the program is
// replaced for this (allocation_failure.cpp).
#pragma once

#include <cstddef>

namespace lirrevo::ui {

// The size of the last request that operator new could not satisfy on this
// thread since the last reset; 0 when none failed.
std::size_t FailedAllocationSize();
void ResetFailedAllocationSize();

}  // namespace lirrevo::ui
