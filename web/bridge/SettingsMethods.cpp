// Script methods on profile (INI) files. Paths are taken exactly as the page gives them: a bare
// file name means a file in the Windows directory, by the rule of the profile functions.
#include "base/Bstr.h"
#include "settings/ConfigFile.h"
#include "web/HtmlCtrl.h"

namespace {

// The page reads values of up to 8191 characters.
constexpr size_t kProfileValueCapacity = 8192;

} // namespace

BSTR CHtmlCtrl::GetConfigString(const wchar_t* section, const wchar_t* key,
                                const wchar_t* file) noexcept
{
    return Bstr(settings::ReadProfileValue(file, section, key, kProfileValueCapacity)).Detach();
}

long CHtmlCtrl::SetConfigString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const wchar_t* file) noexcept
{
    return settings::WriteProfileValue(file, section, key, value) ? 1 : 0;
}
