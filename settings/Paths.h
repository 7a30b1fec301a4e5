#pragma once
// Path routines shared by every part of the tool. Only '\' counts as a separator here, and
// paths of kMaxPath characters or more are refused rather than cut.
#include <string>
#include <string_view>

namespace settings {

// MAX_PATH: the longest path (with its terminating NUL) that the tool's fixed buffers hold.
inline constexpr size_t kMaxPath = 260;

// The directory of the running executable, always ending with '\'; empty if it cannot be told.
[[nodiscard]] std::wstring GetAppDirectory() noexcept;

// The base immediately followed by the suffix; no separator is added or removed.
[[nodiscard]] std::wstring ConcatPath(std::wstring_view base, std::wstring_view suffix) noexcept;

// Character-for-character equality: case-sensitive, no trimming.
[[nodiscard]] bool TextEquals(std::wstring_view text, std::wstring_view literal) noexcept;

// The part before the last '\' (with it when keepSeparator); empty when there is no '\'.
[[nodiscard]] std::wstring GetParentPath(std::wstring_view path, bool keepSeparator) noexcept;

// True when the file system finds an entry at the path and it is a directory.
[[nodiscard]] bool IsExistingDirectory(std::wstring_view path) noexcept;

// True when the file system finds an entry at the path and it is a file, not a directory.
[[nodiscard]] bool IsExistingFile(std::wstring_view path) noexcept;

// Creates every missing directory along the path; true when the directory exists afterwards.
[[nodiscard]] bool CreateDirectoryPath(std::wstring_view path) noexcept;

} // namespace settings
