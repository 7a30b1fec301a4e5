#pragma once
// The user's texts: kept in the resource script's string table (res/QUIB.rc), where a
// translation replaces them, and loaded by their ids (res/resource.h).
#include "base/Win.h"

#include <string>

namespace framework {

// The running program's string-table entry; empty when it has none.
[[nodiscard]] std::wstring LoadText(UINT id) noexcept;

} // namespace framework
