#pragma once
// Waiting with a limit for something that has no event to wait on (a window appearing in
// another process, a file being written). The calling thread's messages are pumped meanwhile.
#include "base/Win.h"

#include <functional>

namespace test {

[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

} // namespace test
