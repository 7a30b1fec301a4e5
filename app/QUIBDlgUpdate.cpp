// CQUIBDlg's self-update: the page's notice of a newer version, the manual command, and the
// start of the separate updater program, after which the tool quits.
#include "app/QUIBDlg.h"
#include "app/UpdaterFetch.h"
#include "settings/ConfigFile.h"
#include "settings/Paths.h"

namespace {

constexpr wchar_t kUpdaterFileName[] = L"ZantoVkUpdate.exe";
constexpr wchar_t kUpdateCaption[] = L"更新";
constexpr wchar_t kUpdatePrompt[] = L"发现服务器有新版本，是否升级？";
constexpr wchar_t kFetchFailed[] = L"更新工具下载失败!";

} // namespace

LRESULT CQUIBDlg::OnUpdateFound(WPARAM, LPARAM) noexcept
{
    // Only "1" updates without asking; anything else, a missing key included, asks.
    const std::wstring choice =
        ReadConfig(settings::kSectionSystem, settings::kKeyAutoUpdate, settings::kChoiceCapacity);
    if (settings::TextEquals(choice, settings::kChoiceOn) ||
        ::MessageBoxW(m_hWnd, kUpdatePrompt, kUpdateCaption, MB_OKCANCEL) == IDOK)
        StartUpdater();
    return 1;
}

void CQUIBDlg::OnUpdateCheck() noexcept { StartUpdater(); }

void CQUIBDlg::StartUpdater() noexcept
{
    // The tool quits at the end of this whatever happens, and that quit bypasses the cancel
    // operation, where the icon goes otherwise: no dead icon may stay in the notification area.
    RemoveTrayIcon();
    try {
        const std::wstring updater = settings::ConcatPath(m_places.appDirectory, kUpdaterFileName);
        // An updater already in place is started as it is, never fetched again.
        if (!settings::IsExistingFile(updater) &&
            app::FetchUpdater(m_places.updaterUrl, updater) != app::FetchResult::Saved)
            ::MessageBoxW(m_hWnd, kFetchFailed, kUpdateCaption, MB_OK);
        (void)::ShellExecuteW(nullptr, nullptr, updater.c_str(), nullptr, nullptr, SW_HIDE);
    } catch (...) {
        // Out of memory for the path: nothing to start, but the tool still quits.
    }
    ::PostMessageW(m_hWnd, WM_QUIT, 0, 0);
}
