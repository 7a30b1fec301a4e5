// Script method that starts a program (or opens a document) through the shell.
#include "base/Paths.h"
#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "web/HtmlCtrl.h"

#include <shellapi.h>
#include <string>
#include <string_view>

namespace {

// ShellExecute's results up to this value are error codes.
constexpr INT_PTR kLastShellError = 32;

// Characters that no Windows path holds. The shell may read them otherwise than as part of one:
// a quote ends the program's name and starts its arguments, and a command script's line may
// take '<', '>' and '|' as redirections.
bool HoldsForeignCharacters(std::wstring_view path) noexcept
{
    for (const wchar_t c : path)
        if (c < 32 || c == L'"' || c == L'<' || c == L'>' || c == L'|')
            return true;
    return false;
}

bool OpenWithShell(const wchar_t* path) noexcept
{
    try {
        // An empty path names nothing; the shell would open some folder instead.
        if (!*path || HoldsForeignCharacters(path))
            return false;
        // The working folder is the path up to and including its last '\'; none for a bare name.
        const std::wstring folder = paths::GetParentPath(path, true);
        const auto result = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(nullptr, nullptr, path, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL));
        return result > kLastShellError;
    } catch (...) {
        return false;
    }
}

} // namespace

long CHtmlCtrl::RunExe(const wchar_t* path) noexcept
{
    if (OpenWithShell(path))
        return TRUE;
    // The page's script waits here until the player has read the message.
    framework::AfxMessageBox(framework::LoadText(IDS_RUN_FAILED).c_str(), MB_OK);
    return FALSE;
}
