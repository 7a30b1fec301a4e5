#include "base/Folders.h"

#include "base/Win.h"

#include <string>

namespace folders {
namespace {

bool IsSeparator(wchar_t c, Separators separators) noexcept
{
    return c == L'\\' || (c == L'/' && separators == Separators::BackslashOrSlash);
}

// Each level is probed first: creating one that exists fails anyway, and costs more.
void MakeIfMissing(const std::wstring& path) noexcept
{
    if (path.empty() || path.size() >= MAX_PATH ||
        ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    // A failure shows in the final probe, or in whatever the caller makes inside.
    ::CreateDirectoryW(path.c_str(), nullptr);
}

bool IsFolder(const std::wstring& path) noexcept
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool MakeChain(std::wstring_view root, std::wstring_view path, Separators separators) noexcept
{
    try {
        std::wstring level(root);
        MakeIfMissing(level);
        level.reserve(root.size() + path.size());
        for (size_t i = 0; i < path.size(); ++i) {
            if (i > 0 && IsSeparator(path[i], separators))
                MakeIfMissing(level);
            level += path[i];
        }
        MakeIfMissing(level);
        return IsFolder(level);
    } catch (...) {
        return false;
    }
}

} // namespace folders
