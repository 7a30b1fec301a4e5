#pragma once
// Full paths as the file system resolves them, and whether one lies inside a folder.
#include <string>
#include <string_view>

namespace archive {

// The path resolved the way the file system will resolve it ('/' becomes '\', "." and ".."
// steps go); empty when it cannot be told or would not fit the tool's paths.
[[nodiscard]] std::wstring FullPath(const std::wstring& path);
// The same for a folder, ending with '\'.
[[nodiscard]] std::wstring FullFolderPath(const std::wstring& folder);
// True when fullPath is fullFolder (which ends with '\') or lies below it; case does not count.
[[nodiscard]] bool IsInsideFolder(std::wstring_view fullPath,
                                  std::wstring_view fullFolder) noexcept;

} // namespace archive
