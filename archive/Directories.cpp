#include "archive/Directories.h"

#include "archive/EntryName.h"
#include "archive/RelativeFiles.h"
#include "base/Paths.h"
#include "base/Win.h"

namespace archive {

namespace {

// The spelling under which a folder is remembered: Windows names ignore case.
std::wstring FolderKey(std::wstring_view path)
{
    std::wstring key(path);
    for (wchar_t& c : key) {
        if (c == L'/')
            c = L'\\';
    }
    if (!key.empty())
        ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

} // namespace

ExtractResult FolderMaker::Make(std::wstring_view path, HANDLE& folder) noexcept
{
    try {
        ExtractResult result = HoldRoot();
        HANDLE parent = m_rootFolder.Get();
        if (result == ExtractResult::Ok)
            (void)paths::ForEachFolder(path, kNameSeparators, [&](std::wstring_view level) {
                result = HoldOne(level, parent);
                return result == ExtractResult::Ok;
            });
        folder = parent;
        return result;
    } catch (...) {
        return ExtractResult::CannotOpen; // no memory for a path
    }
}

ExtractResult FolderMaker::HoldRoot() noexcept
{
    if (m_rootFolder)
        return ExtractResult::Ok;
    // Only when nothing is there: the root may be a link, and that is the player's, so it is
    // followed, and what it leads to is held.
    ::CreateDirectoryW(m_root.c_str(), nullptr);
    UniqueFile root(::CreateFileW(m_root.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root)
        return ExtractResult::CannotOpen;
    m_rootFolder.Reset(root.Release());
    return ExtractResult::Ok;
}

ExtractResult FolderMaker::HoldOne(std::wstring_view level, HANDLE& parent)
{
    std::wstring key = FolderKey(level);
    if (const auto known = m_held.find(key); known != m_held.end()) {
        parent = known->second.Get();
        return ExtractResult::Ok;
    }
    size_t start = level.size();
    while (start > 0 && !paths::IsSeparator(level[start - 1], kNameSeparators))
        --start;
    bool created = false;
    UniqueHandle folder = OpenFolderIn(parent, level.substr(start), created);
    if (!folder)
        return ExtractResult::CannotOpen;
    const std::wstring fullPath = m_root + std::wstring(level);
    // A folder made just now is a plain one. One found there is looked at through the handle
    // and by its name: where opening follows a link, only the name still shows it.
    if (!created &&
        ((AttributesOf(folder.Get()) & FILE_ATTRIBUTE_REPARSE_POINT) ||
         paths::IsLinkOrReparsePoint(fullPath)))
        return ExtractResult::UnsafeName;
    parent = folder.Get();
    m_held.emplace(std::move(key), std::move(folder));
    if (m_watch)
        m_watch(fullPath);
    return ExtractResult::Ok;
}

bool FolderMaker::StillInPlace(std::wstring_view path) const noexcept
{
    try {
        return paths::ForEachFolder(path, kNameSeparators, [&](std::wstring_view level) {
            return !paths::IsLinkOrReparsePoint(m_root + std::wstring(level));
        });
    } catch (...) {
        return false;
    }
}

} // namespace archive
