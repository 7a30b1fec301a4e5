#include "archive/Directories.h"

#include "archive/EntryName.h"
#include "base/Win.h"
#include "settings/Paths.h"

#include <string>

namespace archive {

namespace {

bool Exists(const std::wstring& path) noexcept
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CreateIfMissing(const std::wstring& path) noexcept
{
    if (path.empty() || path.size() >= settings::kMaxPath || Exists(path))
        return;
    ::CreateDirectoryW(path.c_str(), nullptr);
}

void MakeLevels(std::wstring_view root, std::wstring_view path)
{
    if (path.empty())
        return;
    size_t last = path.size();
    while (last > 0 && !IsSeparator(path[last - 1]))
        --last;
    // A separator that is not the first character ends the parent's part of the path.
    if (last > 1)
        MakeLevels(root, path.substr(0, last - 1));
    std::wstring joined(root);
    joined.append(path);
    CreateIfMissing(joined);
}

} // namespace

void MakeDirectories(std::wstring_view root, std::wstring_view path) noexcept
{
    try {
        if (!root.empty())
            CreateIfMissing(std::wstring(root));
        MakeLevels(root, path);
    } catch (...) {
        // Out of memory: the entry's file will fail to be created, which reports it.
    }
}

} // namespace archive
