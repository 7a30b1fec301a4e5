#include "archive/FolderPaths.h"

#include "base/Win.h"
#include "settings/Paths.h"

namespace archive {

namespace {

bool SameText(std::wstring_view a, std::wstring_view b) noexcept
{
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[settings::kMaxPath] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), settings::kMaxPath, full, nullptr);
    if (length == 0 || length >= settings::kMaxPath)
        return {};
    return std::wstring(full, length);
}

std::wstring FullFolderPath(const std::wstring& folder)
{
    std::wstring full = FullPath(folder);
    if (!full.empty() && full.back() != L'\\')
        full += L'\\';
    return full;
}

bool IsInsideFolder(std::wstring_view fullPath, std::wstring_view fullFolder) noexcept
{
    if (fullFolder.empty())
        return false;
    if (fullPath.size() + 1 == fullFolder.size())
        return SameText(fullPath, fullFolder.substr(0, fullPath.size())); // the folder itself
    return fullPath.size() >= fullFolder.size() &&
           SameText(fullPath.substr(0, fullFolder.size()), fullFolder);
}

} // namespace archive
