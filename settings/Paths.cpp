#include "settings/Paths.h"

#include "base/Folders.h"
#include "base/Win.h"

namespace settings {

std::wstring GetAppDirectory() noexcept
{
    try {
        wchar_t module[kMaxPath] = {};
        const DWORD length = ::GetModuleFileNameW(nullptr, module, kMaxPath);
        // A full buffer means the name was cut: such a directory cannot be named safely.
        if (length == 0 || length >= kMaxPath)
            return {};
        std::wstring directory(module, length);
        const size_t slash = directory.rfind(L'\\');
        directory.resize(slash == std::wstring::npos ? 0 : slash);
        if (directory.empty() || directory.back() != L'\\')
            directory += L'\\';
        return directory;
    } catch (...) {
        return {};
    }
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

bool TextEquals(std::wstring_view text, std::wstring_view literal) noexcept
{
    return text == literal;
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

namespace {

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

} // namespace

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

bool CreateDirectoryPath(std::wstring_view path) noexcept
{
    // A path the fixed buffers cannot hold is refused as a whole, before any level is made.
    if (path.empty() || path.size() >= kMaxPath)
        return false;
    return folders::MakeChain({}, path, folders::Separators::BackslashOnly);
}

} // namespace settings
