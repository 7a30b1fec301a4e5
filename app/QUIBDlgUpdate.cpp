// CQUIBDlg's self-update: the page's notice of a newer version, the manual command, and the
// start of the separate updater program, after which the tool quits.
#include "app/QUIBDlg.h"
#include "base/Paths.h"
#include "framework/MessageBox.h"
#include "framework/StringTable.h"
#include "res/resource.h"
#include "settings/ConfigFile.h"

namespace {

constexpr wchar_t kUpdaterFileName[] = L"ZantoVkUpdate.exe";

} // namespace

LRESULT CQUIBDlg::OnUpdateFound(WPARAM, LPARAM) noexcept
{
    // One update at a time: a notice during the prompt or the start is the same news again.
    if (m_bUpdatePromptShown || m_bUpdating)
        return 1;
    // Only "1" updates without asking; anything else, a missing key included, asks.
    const std::wstring choice = settings::ReadSetting(
        m_places, settings::kSectionSystem, settings::kKeyAutoUpdate, settings::kChoiceCapacity);
    bool start = settings::TextEquals(choice, settings::kChoiceOn);
    if (!start) {
        m_bUpdatePromptShown = true;
        start = framework::ShowMessageBox(m_hWnd, framework::LoadText(IDS_UPDATE_PROMPT).c_str(),
                                          framework::LoadText(IDS_UPDATE_CAPTION).c_str(),
                                          MB_OKCANCEL) == IDOK;
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
        // Without the application folder there is no place the updater may come from.
        const std::wstring updater = m_places.InAppDirectory(kUpdaterFileName);
        // Whether no updater passed or the one that passed would not start, the player hears
        // the same: the next update fetches a fresh one.
        if (updater.empty() || !app::LaunchUpdater(updater, m_places.updater))
            framework::ShowMessageBox(m_hWnd, framework::LoadText(IDS_UPDATER_FETCH_FAILED).c_str(),
                                      framework::LoadText(IDS_UPDATE_CAPTION).c_str(), MB_OK);
    } catch (...) {
        // Out of memory for the path: nothing to start, but the tool still quits.
    }
    // The quit bypasses the cancel operation, where the icon goes otherwise; until here the
    // icon stays, so that the tool can still be found while it fetches or reports.
    RemoveTrayIcon();
    ::PostMessageW(m_hWnd, WM_QUIT, 0, 0);
}
