// CQUIBDlg's self-update: the page's notice of a newer version, the manual command, and the
// start of the separate updater program, after which the tool quits.
#include "app/QUIBDlg.h"
#include "base/Paths.h"
#include "framework/MessageBox.h"
#include "settings/ConfigFile.h"

namespace {

constexpr wchar_t kUpdaterFileName[] = L"ZantoVkUpdate.exe";
constexpr wchar_t kUpdateCaption[] = L"更新";
constexpr wchar_t kUpdatePrompt[] = L"发现服务器有新版本，是否升级？";
constexpr wchar_t kFetchFailed[] = L"更新工具下载失败!";

} // namespace

LRESULT CQUIBDlg::OnUpdateFound(WPARAM, LPARAM) noexcept
{
    // One update at a time: a notice during the prompt or the start is the same news again.
    if (m_bUpdatePromptShown || m_bUpdating)
        return 1;
    // Only "1" updates without asking; anything else, a missing key included, asks.
    const std::wstring choice =
        ReadConfig(settings::kSectionSystem, settings::kKeyAutoUpdate, settings::kChoiceCapacity);
    bool start = settings::TextEquals(choice, settings::kChoiceOn);
    if (!start) {
        m_bUpdatePromptShown = true;
        start = framework::ShowMessageBox(m_hWnd, kUpdatePrompt, kUpdateCaption, MB_OKCANCEL) ==
                IDOK;
        m_bUpdatePromptShown = false;
    }
    if (start)
        StartUpdater();
    return 1;
}

void CQUIBDlg::OnUpdateCheck() noexcept { StartUpdater(); }

void CQUIBDlg::StartUpdater() noexcept
{
    // At most once per run: the quit below is already on its way.
    if (m_bUpdating)
        return;
    m_bUpdating = true;
    try {
        const std::wstring updater = paths::ConcatPath(m_places.appDirectory, kUpdaterFileName);
        // Whether no updater passed or the one that passed would not start, the player hears
        // the same: the next update fetches a fresh one.
        if (!app::LaunchUpdater(updater, m_places.updater))
            framework::ShowMessageBox(m_hWnd, kFetchFailed, kUpdateCaption, MB_OK);
    } catch (...) {
        // Out of memory for the path: nothing to start, but the tool still quits.
    }
    // The quit bypasses the cancel operation, where the icon goes otherwise; until here the
    // icon stays, so that the tool can still be found while it fetches or reports.
    RemoveTrayIcon();
    ::PostMessageW(m_hWnd, WM_QUIT, 0, 0);
}
