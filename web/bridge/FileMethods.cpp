// Script methods on files, with paths taken exactly as the page gives them.
#include "web/HtmlCtrl.h"

long CHtmlCtrl::DeleteFile(const wchar_t*) noexcept { return 0; }

long CHtmlCtrl::CopyFile(const wchar_t*, const wchar_t*) noexcept { return 0; }

long CHtmlCtrl::MoveFile(const wchar_t*, const wchar_t*) noexcept { return 0; }

BSTR CHtmlCtrl::GetFilePath(const wchar_t*) noexcept { return nullptr; }
