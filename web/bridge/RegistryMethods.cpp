// Script methods on registry string values; the root is a small number (1: current user).
#include "base/Bstr.h"
#include "settings/Registry.h"
#include "web/HtmlCtrl.h"

BSTR CHtmlCtrl::GetRegString(long root, const wchar_t* subKey, const wchar_t* valueName) noexcept
{
    return Bstr(settings::ReadRegString(root, subKey, valueName)).Detach();
}

long CHtmlCtrl::SetRegString(long root, const wchar_t* subKey, const wchar_t* valueName,
                             const wchar_t* value) noexcept
{
    settings::WriteRegString(root, subKey, valueName, value);
    // Pages treat this call as fire-and-forget: a missing key or a refusal reads as success.
    return TRUE;
}
