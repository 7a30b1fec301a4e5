#include "dialogs/GameDirectory.h"

#include "base/Paths.h"
#include "base/TemporaryFile.h"
#include "base/Unique.h"
#include "framework/WinApp.h"
#include "settings/ConfigFile.h"

#include <shlobj.h>

using namespace settings;

namespace {

constexpr wchar_t kBrowseTitle[] = L"请选择《Valdmark》目录：";
constexpr wchar_t kLauncherName[] = L"Launch.exe";
constexpr wchar_t kNoDirectoryMessage[] = L"未指定游戏目录。";
constexpr wchar_t kNoLauncherMessage[] = L"没有找到 Launch.exe，请确认所选择的目录。";
constexpr wchar_t kStoreFailedSuffix[] = L"错误";
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
    BROWSEINFOW info{};
    info.pszDisplayName = displayName;
    info.lpszTitle = kBrowseTitle;
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

bool StoreGamePath(const std::wstring& path)
{
    const std::wstring configFile = GetConfigFilePath();
    return !configFile.empty() && ReadsBackUnchanged(configFile, path) &&
           WriteSetting(kSectionInfo, kKeyGamePath, path);
}

std::wstring ChooseAndStore()
{
    std::wstring path;
    if (!BrowseForFolder(path)) {
        framework::AfxMessageBox(kNoDirectoryMessage, MB_OK);
        return {};
    }
    if (!HoldsLauncher(path)) {
        framework::AfxMessageBox(kNoLauncherMessage, MB_OK);
        return {};
    }
    if (!StoreGamePath(path)) {
        const std::wstring message = paths::ConcatPath(GetConfigFilePath(), kStoreFailedSuffix);
        framework::AfxMessageBox(message.c_str(), MB_OK);
        return {};
    }
    return path;
}

} // namespace

std::wstring ChooseGameDirectory() noexcept
{
    try {
        return ChooseAndStore();
    } catch (...) {
        // Out of memory before anything was stored.
        return {};
    }
}
