#include "base/Paths.h"

#include "base/Text.h"
#include "base/Win.h"

namespace paths {

namespace {

// The longest path Windows knows, with the \\?\ prefix.
constexpr size_t kLongestPath = 32 * 1024;

// The entry's own attributes: unlike a directory search, this also answers for a drive root
// and for a folder written with its trailing '\'.
DWORD AttributesOf(std::wstring_view path) noexcept
{
    try {
        if (path.empty() || path.size() >= kMaxPath)
            return INVALID_FILE_ATTRIBUTES;
        const std::wstring copy(path);
        return ::GetFileAttributesW(copy.c_str());
    } catch (...) {
        return INVALID_FILE_ATTRIBUTES;
    }
}

// Each level is probed first: creating one that exists fails anyway, and costs more.
void MakeIfMissing(const std::wstring& path) noexcept
{
    if (path.empty() || AttributesOf(path) != INVALID_FILE_ATTRIBUTES)
        return;
    // A failure shows in the final probe, or in whatever the caller makes inside.
    ::CreateDirectoryW(path.c_str(), nullptr);
}

} // namespace

std::wstring GetProgramPath() noexcept
{
    try {
        // Almost every name fits the first buffer; a full buffer means the name was cut.
        for (const size_t capacity : {kMaxPath, kLongestPath}) {
            std::wstring path(capacity, L'\0');
            const DWORD length =
                ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(capacity));
            if (length == 0)
                return {};
            if (length < capacity) {
                path.resize(length);
                return path;
            }
        }
        return {};
    } catch (...) {
        return {};
    }
}

std::wstring GetAppDirectory() noexcept
{
    const std::wstring program = GetProgramPath();
    // A directory whose program the fixed buffers cannot hold cannot be named safely.
    if (program.size() >= kMaxPath)
        return {};
    return GetParentPath(program, true);
}

std::wstring ConcatPath(std::wstring_view base, std::wstring_view suffix) noexcept
{
    try {
        std::wstring joined;
        joined.reserve(base.size() + suffix.size());
        joined.append(base).append(suffix);
        return joined;
    } catch (...) {
        return {};
    }
}

std::wstring GetParentPath(std::wstring_view path, bool keepSeparator) noexcept
{
    try {
        const size_t slash = path.rfind(L'\\');
        if (slash == std::wstring_view::npos)
            return {};
        return std::wstring(path.substr(0, keepSeparator ? slash + 1 : slash));
    } catch (...) {
        return {};
    }
}

bool IsExistingDirectory(std::wstring_view path) noexcept
{
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFile(std::wstring_view path) noexcept
{
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsLinkOrReparsePoint(std::wstring_view path) noexcept
{
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[kMaxPath] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), kMaxPath, full, nullptr);
    if (length == 0 || length >= kMaxPath)
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
    if (fullPath.size() + 1 == fullFolder.size()) // the folder itself
        return text::EqualsIgnoringCase(fullPath, fullFolder.substr(0, fullPath.size()));
    return fullPath.size() >= fullFolder.size() &&
           text::EqualsIgnoringCase(fullPath.substr(0, fullFolder.size()), fullFolder);
}

bool LeadsThroughLink(std::wstring_view root, std::wstring_view name,
                      Separators separators) noexcept
{
    try {
        std::wstring level;
        return !ForEachFolder(name, separators, [&](std::wstring_view folder) {
            level.assign(root).append(folder);
            return !IsLinkOrReparsePoint(level);
        });
    } catch (...) {
        return true; // no memory to look: taken for a link, which refuses the name
    }
}

bool MakeChain(std::wstring_view root, std::wstring_view path, Separators separators) noexcept
{
    try {
        if (root.size() + path.size() >= kMaxPath)
            return false;
        std::wstring level(root);
        MakeIfMissing(level);
        (void)ForEachFolder(path, separators, [&](std::wstring_view folder) {
            level.assign(root).append(folder);
            MakeIfMissing(level);
            return true;
        });
        level.assign(root).append(path);
        return IsExistingDirectory(level);
    } catch (...) {
        return false;
    }
}

} // namespace paths
