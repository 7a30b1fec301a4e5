// Script methods on profile (INI) files. Paths are taken exactly as the page gives them: a bare
// file name means a file in the Windows directory, by the rule of the profile functions.
#include "base/Bstr.h"
#include "settings/ConfigFile.h"
#include "web/HtmlCtrl.h"

#include <cwchar>
#include <string>

namespace {

// The page reads values of up to 8191 characters.
constexpr size_t kProfileValueCapacity = 8192;

// The file that the profile functions open for the name: one without a folder lies in the
// Windows directory, any other is taken as a path.
std::wstring ProfileFileOf(const wchar_t* file)
{
    if (std::wcspbrk(file, L"\\/"))
        return file;
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(folder, length) + L'\\' + file;
}

} // namespace

BSTR CHtmlCtrl::GetConfigString(const wchar_t* section, const wchar_t* key,
                                const wchar_t* file) noexcept
{
    return Bstr(settings::ReadProfileValue(file, section, key, kProfileValueCapacity)).Detach();
}

long CHtmlCtrl::SetConfigString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const wchar_t* file) noexcept
{
    // A value is written only when GetConfigString will give it back as the page wrote it:
    // anything else would change it behind the page's back, or other entries with it.
    try {
        const std::wstring profileFile = ProfileFileOf(file);
        if (profileFile.empty() || !settings::ReadsBackAsWritten(profileFile, section, key, value,
                                                                 kProfileValueCapacity))
            return 0;
    } catch (...) {
        return 0;
    }
    return settings::WriteProfileValue(file, section, key, value) ? 1 : 0;
}
