#include "dialogs/GameDirectory.h"

#include "base/Paths.h"
#include "base/Unique.h"
#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "settings/ConfigFile.h"

#include <shlobj.h>

using namespace settings;

namespace {

constexpr wchar_t kLauncherName[] = L"Launch.exe";

struct ItemIdListTraits {
    using Handle = PIDLIST_ABSOLUTE;
    static PIDLIST_ABSOLUTE Empty() noexcept { return nullptr; }
    static void Close(PIDLIST_ABSOLUTE h) noexcept { ::CoTaskMemFree(h); }
};
using UniqueItemIdList = Unique<ItemIdListTraits>;

// The folder browser, rooted at the desktop and limited to file-system folders. False when the
// user cancelled; otherwise the folder's path, empty when the choice has none.
bool BrowseForFolder(std::wstring& path)
{
    wchar_t displayName[MAX_PATH] = {};
    const std::wstring title = framework::LoadText(IDS_BROWSE_GAME_DIR);
    BROWSEINFOW info{};
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    UniqueItemIdList chosen(::SHBrowseForFolderW(&info));
    if (!chosen)
        return false;
    wchar_t buffer[MAX_PATH] = {};
    path = ::SHGetPathFromIDListW(chosen.Get(), buffer) ? buffer : L"";
    return true;
}

// An empty path names no folder: joined with the launcher's name it would name the root of
// whatever drive is current. A drive root comes with its separator already.
bool HoldsLauncher(const std::wstring& folder)
{
    if (folder.empty())
        return false;
    std::wstring launcher = folder;
    if (launcher.back() != L'\\')
        launcher += L'\\';
    launcher += kLauncherName;
    return paths::IsExistingFile(launcher);
}

bool StoreGamePath(const paths::Places& places, const std::wstring& path)
{
    const std::wstring configFile = places.ConfigFile();
    // A directory that would not read back as chosen never replaces the stored one.
    return !configFile.empty() &&
           ReadsBackAsWritten(configFile, kSectionInfo, kKeyGamePath, path, kGamePathCapacity) &&
           WriteSetting(places, kSectionInfo, kKeyGamePath, path);
}

std::wstring ChooseAndStore(const paths::Places& places)
{
    std::wstring path;
    if (!BrowseForFolder(path)) {
        framework::AfxMessageBox(framework::LoadText(IDS_NO_GAME_DIR).c_str(), MB_OK);
        return {};
    }
    if (!HoldsLauncher(path)) {
        framework::AfxMessageBox(framework::LoadText(IDS_NO_LAUNCHER).c_str(), MB_OK);
        return {};
    }
    if (!StoreGamePath(places, path)) {
        const std::wstring message =
            paths::ConcatPath(places.ConfigFile(), framework::LoadText(IDS_CONFIG_WRITE_FAILED));
        framework::AfxMessageBox(message.c_str(), MB_OK);
        return {};
    }
    return path;
}

} // namespace

std::wstring ChooseGameDirectory(const paths::Places& places) noexcept
{
    try {
        return ChooseAndStore(places);
    } catch (...) {
        // Out of memory before anything was stored.
        return {};
    }
}
