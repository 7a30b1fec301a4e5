// Script method that starts a program (or opens a document) through the shell.
#include "base/Paths.h"
#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "web/HtmlCtrl.h"

#include <shellapi.h>
#include <string>

namespace {

// ShellExecute's results up to this value are error codes.
constexpr INT_PTR kLastShellError = 32;

bool OpenWithShell(const wchar_t* path) noexcept
{
    try {
        // An empty path names nothing; the shell would open some folder instead.
        if (!*path)
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
