#pragma once
// CQUIBDlg: the tool's main window, run modally by CQUIBApp for the whole life of the process: a
// borderless 800 x 600 skinned dialog around the portal page, with five image buttons in its
// title strip, the tray icon and its menus, the close rule and the self-update. Its members are
// spread over QUIBDlg.cpp (window and page), QUIBDlgTray.cpp (tray, menus, closing) and
// QUIBDlgUpdate.cpp (the updater). UI thread only.
#include "app/PngButton.h"
#include "app/UpdaterStart.h"
#include "base/GdiPlus.h"
#include "base/Places.h"
#include "base/Unique.h"
#include "framework/Dialog.h"
#include "framework/MessageMap.h"

#include <shellapi.h>

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class CHtmlCtrl;

// Where the main window and all it opens keep their files (config.ini, Downloads and the updater
// in the application folder) and which addresses it opens. The program makes them at start with
// Default(); tests hand in a folder and local addresses of their own.
struct MainWindowPlaces : paths::Places {
    std::wstring helpPage;     // opened by the shell for the help button
    app::UpdaterRules updater; // which updater may start, and where it is fetched from

    [[nodiscard]] static MainWindowPlaces Default() noexcept;
};

class CQUIBDlg : public framework::WithMessageMap<CQUIBDlg, framework::CDialog> {
public:
    explicit CQUIBDlg(MainWindowPlaces places) noexcept;
    ~CQUIBDlg() override;

protected:
    void DoDataExchange(framework::CDataExchange* pDX) noexcept override;
    BOOL OnInitDialog() noexcept override;
    // Every way out of the window but the updater's: the tray icon goes first.
    void OnCancel() noexcept override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;

private:
    // QUIBDlg.cpp: the window, its skin and the page.
    struct TitleButton;
    [[nodiscard]] static std::span<const TitleButton> TitleButtons() noexcept;
    void SetUpWindow() noexcept;
    void CreatePage(const std::wstring& version) noexcept;
    void PlaceButtons() noexcept;
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnNcHitTest(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnBrowseGameDir(WPARAM wParam, LPARAM lParam) noexcept;
    void OnMinimize() noexcept;
    void OnHelp() noexcept;
    void OnSettings() noexcept;
    void OnUpdateLog() noexcept;

    // QUIBDlgTray.cpp: the tray icon, the two menus and the close rule.
    void AddTrayIcon() noexcept;
    void RemoveTrayIcon() noexcept;
    LRESULT OnTrayCallback(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) noexcept;
    void OnToggleWindow() noexcept;
    void ShowTrayMenu() noexcept;
    void OnUpdateMenu() noexcept;
    void OnExit() noexcept;
    void OnCloseButton() noexcept;

    // QUIBDlgUpdate.cpp: the notice of a newer version and the updater start.
    LRESULT OnUpdateFound(WPARAM wParam, LPARAM lParam) noexcept;
    void OnUpdateCheck() noexcept;
    void StartUpdater() noexcept;

    // First, so that it outlives the page control and the dialogs, which only borrow it.
    MainWindowPlaces m_places;
    // Shared with the system (LoadIcon): never destroyed.
    HICON m_hIcon = nullptr;
    std::unique_ptr<CHtmlCtrl> m_pWeb;
    std::unique_ptr<Gdiplus::Bitmap> m_pBackground;
    NOTIFYICONDATAW m_nid{};
    PngButton m_btnUpdate;
    PngButton m_btnHelp;
    PngButton m_btnSettings;
    PngButton m_btnMin;
    PngButton m_btnClose;

    // The buttons' strips, in the order of the buttons above; the buttons only borrow them.
    std::array<std::unique_ptr<Gdiplus::Bitmap>, 5> m_buttonImages;
    // The tray's own copy of the icon, at the system's default size.
    UniqueIcon m_trayIcon;
    bool m_bTrayIconAdded = false;
    // The update prompt is up: a second notice meanwhile would stack a second prompt.
    bool m_bUpdatePromptShown = false;
    // The updater start has begun; it ends with the quit, so this is never reset. Boxes shown
    // meanwhile run message loops, where another notice or command could arrive.
    bool m_bUpdating = false;

    friend WithMessageMap;
    static const framework::MessageMap<CQUIBDlg> s_messageMap;
};
