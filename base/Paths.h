#pragma once
// The path family: the application's folder, the capacity of the tool's paths, existence,
// parents, full paths and whether one lies inside a folder, and folder chains. Each caller
// names its separators: the paths the tool and its page name count only '\' as one, names
// taken from archives also '/'. Paths of kMaxPath characters or more are refused, never cut.
#include <string>
#include <string_view>

namespace paths {

// MAX_PATH: the longest path (with its terminating NUL) that the tool's fixed buffers hold.
inline constexpr size_t kMaxPath = 260;

enum class Separators {
    BackslashOnly,    // a '/' is part of a name (and so fails where the system reads it as '\')
    BackslashOrSlash, // both end a folder's name
};

[[nodiscard]] constexpr bool IsSeparator(wchar_t c, Separators separators) noexcept
{
    return c == L'\\' || (c == L'/' && separators == Separators::BackslashOrSlash);
}

// The running program's file, however long its name; empty if it cannot be told.
[[nodiscard]] std::wstring GetProgramPath() noexcept;

// The directory of the running executable, always ending with '\'; empty if it cannot be told
// or the program's name does not fit kMaxPath.
[[nodiscard]] std::wstring GetAppDirectory() noexcept;

// The base immediately followed by the suffix; no separator is added or removed.
[[nodiscard]] std::wstring ConcatPath(std::wstring_view base, std::wstring_view suffix) noexcept;

// The part before the last '\' (with it when keepSeparator); empty when there is no '\'.
[[nodiscard]] std::wstring GetParentPath(std::wstring_view path, bool keepSeparator) noexcept;

// True when the file system finds an entry at the path and it is a directory.
[[nodiscard]] bool IsExistingDirectory(std::wstring_view path) noexcept;

// True when the file system finds an entry at the path and it is a file, not a directory.
[[nodiscard]] bool IsExistingFile(std::wstring_view path) noexcept;

// True when the entry at the path is itself a link or another reparse point (a junction, a
// symbolic link), wherever it leads.
[[nodiscard]] bool IsLinkOrReparsePoint(std::wstring_view path) noexcept;

// The path resolved the way the file system will resolve it ('/' becomes '\', "." and ".."
// steps go); empty when it cannot be told or would not fit kMaxPath.
[[nodiscard]] std::wstring FullPath(const std::wstring& path);
// The same for a folder, ending with '\'.
[[nodiscard]] std::wstring FullFolderPath(const std::wstring& folder);
// True when fullPath is fullFolder (which ends with '\') or lies below it; case does not count.
[[nodiscard]] bool IsInsideFolder(std::wstring_view fullPath,
                                  std::wstring_view fullFolder) noexcept;

// Calls visit(folder) for every folder that path names, from the top down, each a prefix of
// path: the part before each separator, then the whole path. An empty part (a separator at the
// start, doubled or at the end) names no folder of its own. Stops at the first visit that
// returns false, and returns false then.
template <class Visit>
[[nodiscard]] bool ForEachFolder(std::wstring_view path, Separators separators, Visit&& visit)
{
    for (size_t end = 0; end <= path.size(); ++end) {
        if (end < path.size() && !IsSeparator(path[end], separators))
            continue;
        if (end == 0 || IsSeparator(path[end - 1], separators))
            continue;
        if (!visit(path.substr(0, end)))
            return false;
    }
    return true;
}

// True when a folder that name leads through below root, or the entry it names, exists and is
// a link (IsLinkOrReparsePoint). Root itself and the folders above it may be links: they are the
// player's to place. root is empty or ends with a separator.
[[nodiscard]] bool LeadsThroughLink(std::wstring_view root, std::wstring_view name,
                                    Separators separators) noexcept;

// Makes root when nothing is there, one level (its parents are the caller's), then every
// missing folder along path below it, from the top down; root is empty or ends with a
// separator. root + path of kMaxPath characters or more is refused before anything is made.
// True when root + path is a folder afterwards: a file in the way, a missing drive or a refusal
// all show there.
[[nodiscard]] bool MakeChain(std::wstring_view root, std::wstring_view path,
                             Separators separators) noexcept;

} // namespace paths
