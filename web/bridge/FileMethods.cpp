// Script methods on files. Paths are taken exactly as the page gives them: a relative path is
// relative to the process's current folder, and no separator is changed.
#include "base/Bstr.h"
#include "base/Paths.h"
#include "base/Unique.h"
#include "web/HtmlCtrl.h"

namespace {

// Windows' copy refuses to replace a read-only or hidden file and its move a read-only one, as
// DeleteFile refuses a read-only file. Checked here as well, so that the rule holds wherever
// the file system itself would let the user replace the file (a privileged account under a
// compatibility layer).
bool IsProtectedTarget(const wchar_t* target, DWORD protectingAttributes) noexcept
{
    const DWORD attributes = ::GetFileAttributesW(target);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & protectingAttributes))
        return false;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

} // namespace

long CHtmlCtrl::DeleteFile(const wchar_t* path) noexcept { return ::DeleteFileW(path); }

long CHtmlCtrl::CopyFile(const wchar_t* source, const wchar_t* target) noexcept
{
    if (IsProtectedTarget(target, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))
        return FALSE;
    return ::CopyFileW(source, target, FALSE);
}

long CHtmlCtrl::MoveFile(const wchar_t* source, const wchar_t* target) noexcept
{
    if (IsProtectedTarget(target, FILE_ATTRIBUTE_READONLY))
        return FALSE;
    // One call that replaces the target only when the move succeeds: deleting the target
    // first would lose it whenever the source is missing or cannot be moved.
    return ::MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

BSTR CHtmlCtrl::GetFilePath(const wchar_t* path) noexcept
{
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW(path, &found));
    // The page sees a null string as empty text; it only asks whether anything matched.
    if (!search)
        return nullptr;
    // The folder as the page wrote it, not as the file system spells the match.
    return Bstr(paths::GetParentPath(path, true)).Detach();
}
