#include "app/QUIBDlg.h"

#include "app/Messages.h"
#include "app/PngResource.h"
#include "app/UpdaterKeys.h"
#include "base/Paths.h"
#include "dialogs/DialogSet.h"
#include "dialogs/DialogVer.h"
#include "dialogs/GameDirectory.h"
#include "framework/DataExchange.h"
#include "res/resource.h"
#include "settings/ConfigFile.h"
#include "web/HostMessages.h"
#include "web/HtmlCtrl.h"
#include "web/Sites.h"

#include <windowsx.h>

namespace {

// The skin is drawn for fixed pixel sizes; the template's dialog units only give the controls.
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
constexpr int kTitleStripHeight = 30;
constexpr RECT kVersionLabel{213, 12, 213 + 40, 12 + 15};
constexpr RECT kPageArea{4, 30, 4 + 796, 30 + 566};
// Pale yellow: readable on the dark title strip of the background.
constexpr COLORREF kVersionColour = RGB(255, 255, 187);

void MoveTo(HWND window, const RECT& rect) noexcept
{
    ::MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

} // namespace

MainWindowPlaces MainWindowPlaces::Default() noexcept
{
    try {
        // An empty program path (its name could not be told) makes every updater fail the check
        // rather than be judged against the wrong file.
        return {paths::Places::ForProgram(), std::wstring(web::kForumSite) + web::kForumHelpPath,
                {app::BuiltInUpdaterKeys(), paths::GetProgramPath(),
                 std::wstring(web::kToolsSite) + web::kUpdaterPath, {}, {}}};
    } catch (...) {
        return {};
    }
}

const framework::MessageMap<CQUIBDlg> CQUIBDlg::s_messageMap = {
    {WM_PAINT, 0, &CQUIBDlg::OnPaint},
    {WM_QUERYDRAGICON, 0, &CQUIBDlg::OnQueryDragIcon},
    {WM_TRAY_CALLBACK, 0, &CQUIBDlg::OnTrayCallback},
    {WM_COMMAND, ID_TRAY_EXIT, &CQUIBDlg::OnExit},
    {WM_COMMAND, ID_TRAY_SHOW, &CQUIBDlg::OnToggleWindow},
    {WM_COMMAND, ID_UPDATE_CHECK, &CQUIBDlg::OnUpdateCheck},
    {WM_COMMAND, ID_UPDATE_LOG, &CQUIBDlg::OnUpdateLog},
    {WM_BROWSE_GAME_DIR, 0, &CQUIBDlg::OnBrowseGameDir},
    {WM_UPDATE_FOUND, 0, &CQUIBDlg::OnUpdateFound},
    {WM_COMMAND, IDC_BTN_CLOSE, &CQUIBDlg::OnCloseButton},
    {WM_COMMAND, IDC_BTN_MIN, &CQUIBDlg::OnMinimize},
    {WM_NCHITTEST, 0, &CQUIBDlg::OnNcHitTest},
    {WM_COMMAND, IDC_BTN_HELP, &CQUIBDlg::OnHelp},
    {WM_COMMAND, IDC_BTN_SETTINGS, &CQUIBDlg::OnSettings},
    {WM_ERASEBKGND, 0, &CQUIBDlg::OnEraseBkgnd},
    {WM_COMMAND, IDC_BTN_UPDATE, &CQUIBDlg::OnUpdateMenu},
    {WM_DESTROY, 0, &CQUIBDlg::OnDestroy},
};

CQUIBDlg::CQUIBDlg(MainWindowPlaces places) noexcept
    : WithMessageMap(IDD_QUIB_DIALOG), m_places(std::move(places))
{
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

// The page control's window has gone with the dialog's by now; only the object is left.
CQUIBDlg::~CQUIBDlg() = default;

bool CQUIBDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        if (!ReflectToChild(message, wParam, lParam, result))
            result = OnCtlColor(message, wParam, lParam);
        return true;
    }
    return WithMessageMap::OnWndMsg(message, wParam, lParam, result);
}

// One line a button: its member, its control, its strip and its place in the title strip.
struct CQUIBDlg::TitleButton {
    PngButton CQUIBDlg::*button;
    int id;
    UINT image;
    RECT rect;
};

std::span<const CQUIBDlg::TitleButton> CQUIBDlg::TitleButtons() noexcept
{
    static constexpr TitleButton kButtons[] = {
        {&CQUIBDlg::m_btnUpdate, IDC_BTN_UPDATE, IDB_PNG_UPDATE, {591, 6, 591 + 44, 6 + 21}},
        {&CQUIBDlg::m_btnHelp, IDC_BTN_HELP, IDB_PNG_HELP, {644, 6, 644 + 44, 6 + 21}},
        {&CQUIBDlg::m_btnSettings, IDC_BTN_SETTINGS, IDB_PNG_SETTINGS, {697, 6, 697 + 44, 6 + 21}},
        {&CQUIBDlg::m_btnMin, IDC_BTN_MIN, IDB_PNG_MIN, {750, 9, 750 + 15, 9 + 15}},
        {&CQUIBDlg::m_btnClose, IDC_BTN_CLOSE, IDB_PNG_CLOSE, {774, 9, 774 + 15, 9 + 15}},
    };
    static_assert(std::size(kButtons) == std::tuple_size_v<decltype(m_buttonImages)>);
    return kButtons;
}

void CQUIBDlg::DoDataExchange(framework::CDataExchange* pDX) noexcept
{
    for (const TitleButton& place : TitleButtons())
        framework::DDX_Control(pDX, place.id, this->*place.button);
}

BOOL CQUIBDlg::OnInitDialog() noexcept
{
    CDialog::OnInitDialog();
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    // A second copy finds this one by the exact title.
    ::SetWindowTextW(m_hWnd, kMainWindowTitle);
    SetUpWindow();

    // Borderless, yet it can be minimised to its taskbar button.
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_MINIMIZEBOX;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

void CQUIBDlg::SetUpWindow() noexcept
{
    m_pBackground = LoadPngFromResource(IDB_PNG_BACKGROUND, ::GetModuleHandleW(nullptr));
    ::MoveWindow(m_hWnd, 0, 0, kWindowWidth, kWindowHeight, TRUE);
    ::SetWindowTextW(m_hWnd, kMainWindowTitle);

    // Read at the moment of use, as every setting: the page and the settings dialog change the
    // file meanwhile.
    const std::wstring version = settings::ReadSetting(
        m_places, settings::kSectionVersion, settings::kKeyVersion, settings::kVersionCapacity);
    HWND label = ::GetDlgItem(m_hWnd, IDC_VERSION);
    MoveTo(label, kVersionLabel);
    ::SetWindowTextW(label, version.c_str());

    CreatePage(version);
    PlaceButtons();
    AddTrayIcon();
}

void CQUIBDlg::CreatePage(const std::wstring& version) noexcept
{
    try {
        // Kept even when its window cannot be made: the object belongs to this window either way.
        m_pWeb = CHtmlCtrl::Make(m_places);
        if (!m_pWeb || !m_pWeb->CreateOverPlaceholder(IDC_WEB_PLACEHOLDER, this))
            return;
        MoveTo(m_pWeb->GetSafeHwnd(), kPageArea);
        // The version goes to the portal as written: the page decides about updates.
        const std::wstring address =
            std::wstring(web::kPortalSite) + web::kPortalPagePath + version;
        (void)m_pWeb->Navigate(address.c_str());
    } catch (...) {
        // Without memory for the address the window stays up without its page.
    }
}

void CQUIBDlg::PlaceButtons() noexcept
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    const std::span<const TitleButton> buttons = TitleButtons();
    for (size_t i = 0; i < buttons.size(); ++i) {
        PngButton& button = this->*buttons[i].button;
        m_buttonImages[i] = LoadPngFromResource(buttons[i].image, module);
        // The images are part of the program; without one the button stays blank.
        if (m_buttonImages[i])
            button.SetImage(m_buttonImages[i].get());
        MoveTo(button.GetSafeHwnd(), buttons[i].rect);
    }
}

LRESULT CQUIBDlg::OnPaint(WPARAM, LPARAM) noexcept
{
    if (!::IsIconic(m_hWnd))
        return Default();
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT CQUIBDlg::OnQueryDragIcon(WPARAM, LPARAM) noexcept
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}

LRESULT CQUIBDlg::OnNcHitTest(WPARAM, LPARAM lParam) noexcept
{
    // The title strip is the drag handle; the buttons and the page are child windows and take
    // their own clicks, while the version label lets them through.
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    RECT strip{0, 0, client.right, kTitleStripHeight};
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&strip), 2);
    const LRESULT hit = Default();
    const POINT cursor{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return hit == HTCLIENT && ::PtInRect(&strip, cursor) ? HTCAPTION : hit;
}

LRESULT CQUIBDlg::OnEraseBkgnd(WPARAM wParam, LPARAM) noexcept
{
    if (m_pBackground) {
        Gdiplus::Graphics graphics(reinterpret_cast<HDC>(wParam));
        (void)graphics.DrawImage(m_pBackground.get(), 0, 0,
                                 static_cast<INT>(m_pBackground->GetWidth()),
                                 static_cast<INT>(m_pBackground->GetHeight()));
    }
    return TRUE;
}

LRESULT CQUIBDlg::OnCtlColor(UINT, WPARAM wParam, LPARAM lParam) noexcept
{
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    const LRESULT brush = Default();
    ::SetBkMode(dc, OPAQUE);
    if (control && ::GetParent(control) == m_hWnd && ::GetDlgCtrlID(control) == IDC_VERSION) {
        // The version lies directly on the background picture.
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, kVersionColour);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    return brush;
}

LRESULT CQUIBDlg::OnBrowseGameDir(WPARAM, LPARAM) noexcept
{
    // The selection stores the directory itself and tells the user what went wrong.
    (void)ChooseGameDirectory(m_places);
    return 0;
}

void CQUIBDlg::OnMinimize() noexcept { ::ShowWindow(m_hWnd, SW_MINIMIZE); }

void CQUIBDlg::OnHelp() noexcept
{
    (void)::ShellExecuteW(nullptr, L"open", m_places.helpPage.c_str(), nullptr, nullptr,
                          SW_SHOWNORMAL);
}

void CQUIBDlg::OnSettings() noexcept
{
    DialogSet dialog(m_places);
    (void)dialog.DoModal();
}

void CQUIBDlg::OnUpdateLog() noexcept
{
    DialogVer dialog(m_places);
    (void)dialog.DoModal();
}
