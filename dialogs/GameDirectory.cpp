#include "dialogs/GameDirectory.h"

#include "base/Paths.h"
#include "base/TemporaryFile.h"
#include "base/Unique.h"
#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "settings/ConfigFile.h"

#include <shlobj.h>

using namespace settings;

namespace {

constexpr wchar_t kLauncherName[] = L"Launch.exe";
constexpr wchar_t kScratchPrefix[] = L"qib";

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

// The profile functions keep a file without a Unicode byte-order mark in the system's code
// page, where a character outside it is stored as '?', and every reader cuts the directory to
// its capacity. Tried on a scratch copy of config.ini, so that a directory that would not read
// back as chosen never replaces the stored one.
bool ReadsBackUnchanged(const std::wstring& configFile, const std::wstring& path)
{
    // GetTempPath's longest answer, with room for its terminating NUL.
    constexpr DWORD kTempFolderCapacity = MAX_PATH + 1;
    wchar_t folder[kTempFolderCapacity] = {};
    const DWORD length = ::GetTempPathW(kTempFolderCapacity, folder);
    TemporaryFile scratch;
    if (length == 0 || length >= kTempFolderCapacity || !scratch.CreateIn(folder, kScratchPrefix))
        return false;
    scratch.Close();
    const std::wstring& scratchPath = scratch.Path();
    // Without a config.ini the write below creates one from nothing, as the empty scratch is.
    if (::GetFileAttributesW(configFile.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !::CopyFileW(configFile.c_str(), scratchPath.c_str(), FALSE))
        return false;
    return WriteProfileValue(scratchPath, kSectionInfo, kKeyGamePath, path) &&
           ReadProfileValue(scratchPath, kSectionInfo, kKeyGamePath, kGamePathCapacity) == path;
}

bool StoreGamePath(const paths::Places& places, const std::wstring& path)
{
    const std::wstring configFile = places.ConfigFile();
    return !configFile.empty() && ReadsBackUnchanged(configFile, path) &&
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
