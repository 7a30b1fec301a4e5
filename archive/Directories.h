#pragma once
// Folder chains for extracted entries.
#include <string_view>

namespace archive {

// Creates the root (one level) when nothing is there, then every missing folder of the path
// below it, level by level; separators are '\' and '/'. An empty root means the path stands
// alone. Failures are ignored: whether the entry's file can be created afterwards is what counts.
void MakeDirectories(std::wstring_view root, std::wstring_view path) noexcept;

} // namespace archive
