// Script methods on files. Paths are taken exactly as the page gives them: a relative path is
// relative to the process's current folder, and no separator is changed.
#include "base/Bstr.h"
#include "base/Paths.h"
#include "base/Unique.h"
#include "web/HtmlCtrl.h"

long CHtmlCtrl::DeleteFile(const wchar_t* path) noexcept { return ::DeleteFileW(path); }

long CHtmlCtrl::CopyFile(const wchar_t* source, const wchar_t* target) noexcept
{
    return ::CopyFileW(source, target, FALSE);
}

long CHtmlCtrl::MoveFile(const wchar_t* source, const wchar_t* target) noexcept
{
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
