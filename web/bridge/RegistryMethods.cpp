// Script methods on registry string values.
#include "web/HtmlCtrl.h"

BSTR CHtmlCtrl::GetRegString(long, const wchar_t*, const wchar_t*) noexcept { return nullptr; }

long CHtmlCtrl::SetRegString(long, const wchar_t*, const wchar_t*, const wchar_t*) noexcept
{
    return 0;
}
