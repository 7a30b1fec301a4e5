#include "archive/Directories.h"

#include "archive/EntryName.h"
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

ExtractResult FolderMaker::Make(std::wstring_view path) noexcept
{
    try {
        if (!m_rootMade) {
            // Only when nothing is there: the root may be a link, and that is the player's.
            ::CreateDirectoryW(m_root.c_str(), nullptr);
            m_rootMade = true;
        }
        ExtractResult result = ExtractResult::ExtractOk;
        (void)paths::ForEachFolder(path, kNameSeparators, [&](std::wstring_view folder) {
            std::wstring key = FolderKey(folder);
            if (m_known.contains(key))
                return true;
            result = MakeOne(m_root + std::wstring(folder));
            if (result != ExtractResult::ExtractOk)
                return false;
            m_known.insert(std::move(key));
            return true;
        });
        return result;
    } catch (...) {
        return ExtractResult::ExtractCannotOpen; // no memory for a path
    }
}

ExtractResult FolderMaker::MakeOne(const std::wstring& path) noexcept
{
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return ExtractResult::ExtractOk;
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
        return ExtractResult::ExtractCannotOpen;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ExtractResult::ExtractCannotOpen;
    if (paths::IsLinkAttributes(attributes))
        return ExtractResult::ExtractUnsafeName;
    return ExtractResult::ExtractOk;
}

} // namespace archive
