// The settings dialog with the game-directory choice, and the update-log dialog, over a main
// window of the test's own; the window driver answers the folder browser and the boxes.
#include "base/Places.h"
#include "base/Text.h"
#include "base/Unique.h"
#include "dialogs/DialogSet.h"
#include "dialogs/DialogVer.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "settings/Autostart.h"
#include "settings/ConfigFile.h"
#include "tests/support/Files.h"
#include "tests/support/RegistryKey.h"
#include "tests/support/WindowDriver.h"
#include "web/HtmlCtrl.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <functional>

using namespace settings;

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr wchar_t kNoLauncher[] = L"没有找到 Launch.exe，请确认所选择的目录。";
constexpr char kUpdateList[] =
    "http://tools.valdmark.example:8088/Manager/Update/ToolWeb_Update_List.aspx?ToolId=3";

// A dialog played from inside its own modal loop: once it is up, `play` runs on its thread as
// the user's clicks would arrive there, and leaves it.
template <class Dialog> struct Played : Dialog {
    Played(const paths::Places& places, std::function<void(HWND)> play)
        : Dialog(places), m_play(std::move(play))
    {
    }
    BOOL OnInitDialog() noexcept override
    {
        ::SetTimer(this->m_hWnd, 1, 0, [](HWND dialog, UINT, UINT_PTR timer, DWORD) {
            ::KillTimer(dialog, timer);
            static_cast<Played*>(framework::CWnd::FromHandlePermanent(dialog))->m_play(dialog);
        });
        return Dialog::OnInitDialog();
    }
    std::function<void(HWND)> m_play;
};

void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// The ticked check box and radio buttons of the settings dialog, e.g. "1003,1005,1008".
std::wstring Ticked(HWND dialog)
{
    std::wstring ids;
    for (int id = IDC_CHECK_AUTOSTART; id <= IDC_RADIO_AUTO_UPDATE; ++id)
        if (::IsDlgButtonChecked(dialog, id) == BST_CHECKED)
            ids += (ids.empty() ? L"" : L",") + std::to_wstring(id);
    return ids;
}

// A window's place and size, relative to another window's client area when one is given.
std::string Where(HWND window, HWND relativeTo = nullptr)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, relativeTo, reinterpret_cast<POINT*>(&r), 2);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// Picks a path, or the computer (no file-system path), in the browser: the dialog with a folder
// tree. A selection that took moves the caret off the root; the first may come too early.
void Select(const std::wstring& path, PIDLIST_ABSOLUTE computer)
{
    const auto target = path == L"computer" ? reinterpret_cast<LPARAM>(computer)
                                            : reinterpret_cast<LPARAM>(path.c_str());
    for (HWND browser : test::TopWindows(test::Whose::ThisProcess, L"#32770")) {
        HWND tree = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
        const auto selected = [&] {
            ::SendMessageW(browser, BFFM_SETSELECTIONW, path != L"computer", target);
            const LRESULT caret = ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
            return caret && caret != ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        };
        if (tree && !path.empty() && !test::WaitUntil(selected, kWaitMs))
            ADD_FAILURE() << "the browser did not select " << test::Utf8(path);
    }
}

class SettingsDialog : public test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        // Wine's browser compares each folder on the way with what it listed when it opened
        // the folder's parent, times included: the games are where nothing else changes.
        ASSERT_TRUE(::CreateDirectoryW(m_games.c_str(), nullptr));
        // A launcher looked for without its folder would be looked for at C:'s root.
        ASSERT_TRUE(::SetCurrentDirectoryW(L"C:\\"));
        ASSERT_TRUE(m_main.CreateModeless(nullptr));
        ::ShowWindow(m_main.m_hWnd, SW_SHOW);
        m_app.m_pMainWnd = &m_main;
        // A dialog or box that waits for the user after a minute is closed, and the test fails.
        ::SetTimer(m_main.m_hWnd, 1, 60000, [](HWND main, UINT, UINT_PTR, DWORD) {
            ADD_FAILURE() << "a dialog or box was left waiting for the user";
            for (HWND dialog : test::TopWindows(test::Whose::ThisProcess, L"#32770"))
                if (dialog != main)
                    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
    }
    void TearDown() override
    {
        ::DestroyWindow(m_main.m_hWnd);
        test::RemoveTree(m_games);
    }

    // The tool's config.ini, with the text: none for nullptr, a folder in its place for "\",
    // UTF-16 after a byte-order mark, else the system's code page.
    void SetConfig(const wchar_t* text)
    {
        ::DeleteFileW(m_config.c_str());
        ::RemoveDirectoryW(m_config.c_str());
        const std::wstring_view t = text ? text : L"";
        const std::string utf16(reinterpret_cast<const char*>(t.data()), t.size() * 2);
        ASSERT_TRUE(!text ||
                    (t == L"\\"
                         ? ::CreateDirectoryW(m_config.c_str(), nullptr) != FALSE
                         : test::WriteFileBytes(
                               m_config, t[0] == 0xFEFF ? utf16 : text::ToCodePage(t, CP_ACP))));
    }
    // Read wider than any reader of the tool, so that a value cut by a reader would show.
    [[nodiscard]] std::wstring Setting(const wchar_t* section, const wchar_t* key) const
    {
        return ReadProfileValue(m_config, section, key, 1024);
    }
    [[nodiscard]] std::wstring MakeGame(const std::wstring& name, bool withLauncher) const
    {
        const std::wstring folder = m_games + name;
        EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) &&
                    (!withLauncher || test::WriteFileBytes(folder + L"\\Launch.exe", "MZ")));
        return folder;
    }

    framework::CWinApp m_app;
    framework::CDialog m_main{IDD_QUIB_DIALOG};
    // The tool's places: a folder and a registry root of the test's own.
    test::TempDir m_folder;
    test::TestRegistryKey m_registry;
    const paths::Places m_places{m_folder.Path(), m_registry.Get()};
    const std::wstring m_config = m_folder.Path(L"config.ini");
    const std::wstring m_runKey = m_registry.SubKey(kRunKey);
    const std::wstring m_games =
        L"C:\\quib-games-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
};

using UpdateLogDialog = SettingsDialog;

} // namespace

TEST_F(SettingsDialog, ShowsTheStoredChoicesAndStoresThemAndAutostartOnlyOnOk)
{
    // Another program's Run value, which also makes the Run key: the tool never creates it.
    const std::wstring neighbour = L"Other";
    ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, m_runKey, neighbour, REG_SZ,
                                  test::TextBytes(L"C:\\other.exe")));
    const std::wstring ours = m_folder.Path(L"QUIB.exe"), old = L"C:\\old\\QUIB.exe";
    const wchar_t* off = L"[system]\r\nexit=0\r\nautoupdate=0\r\n[Info]\r\nPATH=D:\\Valdmark\r\n";
    constexpr int kAuto = IDC_CHECK_AUTOSTART, kOk = IDC_BTN_SET_OK, kCancel = IDC_BTN_SET_CANCEL,
                  kHide = IDC_RADIO_HIDE;
    struct Case {
        const wchar_t* config;   // config.ini's text
        const wchar_t* shown;    // the ticked buttons and the directory box when it opens
        std::vector<int> clicks; // the last one (a button or a key) leaves
        const wchar_t* stored;   // autostart,exit,autoupdate,PATH afterwards
        std::wstring run;        // the Run value afterwards, empty when there is none
    };
    // clang-format off
    const Case cases[] = {
        {L"[system]\r\nexit=2\r\nautoupdate=1\r\nautostart=1\r\n[Info]\r\nPATH=D:\\游戏\r\n",
         L"1003,1004,1008 D:\\游戏", {kAuto, IDC_RADIO_PROMPT, IDC_RADIO_ASK_UPDATE, kOk},
         L"0,0,0,D:\\游戏", L""},
        {off, L"1006,1007 D:\\Valdmark", {kAuto, kHide, IDC_RADIO_AUTO_UPDATE, kOk},
         L"1,1,1,D:\\Valdmark", ours},
        // Only the exact texts count; anything else shows and stores the fallback.
        {L"[system]\r\nexit=1\r\n", L"1005,1007 ", {kOk}, L"0,1,0,", L""},
        {L"[system]\r\nexit=2\r\nautoupdate=7\r\n", L"1004,1007 ", {kOk}, L"0,2,0,", L""},
        {L"[system]\r\nautostart=1x\r\nexit=2x\r\nautoupdate=1x\r\n", L"1006,1007 ", {kOk},
         L"0,0,0,", L""},
        {off, L"1006,1007 D:\\Valdmark", {kAuto, kHide, kCancel}, L",0,0,D:\\Valdmark", old},
        {off, L"1006,1007 D:\\Valdmark", {kAuto, kHide, VK_ESCAPE}, L",0,0,D:\\Valdmark", old},
        // Enter is the dialog's default OK, which is not its OK button.
        {off, L"1006,1007 D:\\Valdmark", {kAuto, kHide, VK_RETURN}, L",0,0,D:\\Valdmark", old},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Utf8(c.config) + " then " + std::to_string(c.clicks.back()));
        SetConfig(c.config);
        ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, m_runKey, kRunValueName, REG_SZ,
                                      test::TextBytes(old)));
        std::wstring shown;
        Played<DialogSet> dialog(m_places, [&](HWND d) {
            HWND box = ::GetDlgItem(d, IDC_EDIT_GAME_PATH);
            shown = Ticked(d) + L" " + test::WindowText(box);
            ::SetWindowTextW(box, L"C:\\typed"); // not kept: only a browse stores a directory
            for (int id : c.clicks) {
                if (id == VK_ESCAPE || id == VK_RETURN) // they become commands in its loop
                    ::PostMessageW(box, WM_KEYDOWN, static_cast<WPARAM>(id), 0);
                else
                    Click(d, id);
            }
        });

        EXPECT_NE(dialog.DoModal(), -1);

        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(Setting(L"system", L"autostart") + L"," + Setting(L"system", L"exit") + L"," +
                      Setting(L"system", L"autoupdate") + L"," + Setting(L"Info", L"PATH"),
                  c.stored);
        test::RegValue run;
        EXPECT_EQ(test::ReadRegValue(HKEY_CURRENT_USER, m_runKey, kRunValueName, run)
                      ? std::to_string(run.type) + ":" + run.bytes
                      : "(none)",
                  c.run.empty() ? "(none)" : "1:" + test::TextBytes(c.run))
            << "REG_SZ with one NUL, no quotes, no arguments";
    }
    test::RegValue other;
    EXPECT_TRUE(test::ReadRegValue(HKEY_CURRENT_USER, m_runKey, neighbour, other))
        << "another program's Run value went too";
}

TEST_F(SettingsDialog, BrowseStoresAGameDirectoryOnlyWithTheLauncherAndIfItReadsBackUnchanged)
{
    const wchar_t* ansi = L"[system]\r\nexit=2\r\n[Info]\r\nPATH=D:\\游戏\\Valdmark\r\n";
    const std::wstring game = MakeGame(L"瓦尔德马克 游戏", true), thai = MakeGame(L"游戏ก", true);
    const std::wstring launcherFolder = MakeGame(L"Launch.exe is a folder", false);
    ASSERT_TRUE(::CreateDirectoryW((launcherFolder + L"\\Launch.exe").c_str(), nullptr));
    ASSERT_TRUE(test::WriteFileBytes(L"C:\\Launch.exe", "MZ")); // on the current drive
    const std::wstring stored = L"D:\\游戏\\Valdmark", configError = m_config + L"错误";
    const Unique<NullIsEmpty<PIDLIST_ABSOLUTE, &::CoTaskMemFree>> computer(
        ::SHCloneSpecialIDList(nullptr, CSIDL_DRIVES, FALSE));
    struct Case {
        const char* name;
        const wchar_t* config;  // see SetConfig
        std::wstring target;    // see Select; empty: the user cancels the browser
        std::wstring shown;     // in the box afterwards, and stored
        const wchar_t* message; // nullptr: none; empty: any
    };
    // clang-format off
    const Case cases[] = {
        {"a folder with the launcher, no config.ini yet", nullptr, game, game, nullptr},
        {"a drive root, as the browser gives it", ansi, L"C:\\", L"C:\\", nullptr},
        {"a name outside the code page, UTF-16 config.ini", L"\xFEFF[Info]\r\nPATH=D:\\old\r\n",
         thai, thai, nullptr},
        {"cancel", nullptr, L"", L"", L"未指定游戏目录。"},
        {"no launcher", ansi, MakeGame(L"empty", false), stored, kNoLauncher},
        {"a folder named Launch.exe", ansi, launcherFolder, stored, kNoLauncher},
        {"no file-system path", ansi, L"computer", stored, kNoLauncher},
        {"a name outside the code page", ansi, thai, stored, configError.c_str()},
        {"config.ini cannot be written", L"\\", game, L"", configError.c_str()},
        {"longer than its readers take", ansi,
         MakeGame(std::wstring(256 - m_games.size(), L'v'), true), stored, L""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetConfig(c.config);
        const std::string before = test::ReadFileBytes(m_config);
        const int answer = c.target.empty() ? IDCANCEL : IDOK;
        // The browser's caption follows the system's language.
        test::BoxAnswerer user(
            {{L"选择文件夹", answer}, {L"Browse for Folder", answer}, {L"QUIB", IDOK}},
            test::Whose::ThisProcess, [&] { Select(c.target, computer.Get()); });
        std::wstring ticked, shown;
        Played<DialogSet> dialog(m_places, [&](HWND d) {
            Click(d, IDC_CHECK_AUTOSTART);
            Click(d, IDC_BTN_BROWSE); // the browser and the box run their loops on this thread
            ticked = Ticked(d);
            shown = test::WindowText(::GetDlgItem(d, IDC_EDIT_GAME_PATH));
            Click(d, IDC_BTN_SET_CANCEL);
        });

        EXPECT_NE(dialog.DoModal(), -1);

        EXPECT_EQ(ticked.substr(0, 5), L"1003,") << "browsing undid the tick";
        EXPECT_EQ(shown, c.shown);
        const auto seen = user.Seen();
        ASSERT_EQ(seen.size(), c.message ? 2u : 1u);
        if (c.message) {
            EXPECT_TRUE(!*c.message || seen[1].text == c.message) << test::Utf8(seen[1].text);
            EXPECT_EQ(seen[1].ownerTitle, L"设置") << "in front of the settings dialog";
            EXPECT_EQ(test::ReadFileBytes(m_config), before) << "a refusal stores nothing";
        } else {
            EXPECT_EQ(Setting(L"Info", L"PATH"), c.shown);
        }
    }
    ::DeleteFileW(L"C:\\Launch.exe");
}

TEST_F(UpdateLogDialog, ShowsTheUpdateListOverTheMainWindowInsideTheWorkArea)
{
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    struct Case {
        const char* where;
        int mainLeft, mainTop;
        bool mainShown;
        LONG left, top; // of the dialog
    };
    const Case cases[] = {
        {"centred over the main window", 100, 60, true, 500 - 192, 360 - 129},
        {"main window partly above and left of the screen", work.left - 600, work.top - 500, true,
         work.left, work.top},
        {"main window partly below and right of the screen", work.right - 300, work.bottom - 200,
         true, work.right - 385, work.bottom - 258},
        {"main window hidden in the tray", 100, 60, false, (work.left + work.right) / 2 - 192,
         (work.top + work.bottom) / 2 - 129},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        ::SetWindowPos(m_main.m_hWnd, nullptr, c.mainLeft, c.mainTop, 800, 600,
                       SWP_NOZORDER | (c.mainShown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        std::string seen;
        Played<DialogVer> dialog(m_places, [&](HWND d) {
            HWND page = ::GetDlgItem(d, IDC_LOG_PLACEHOLDER);
            auto* control = dynamic_cast<CHtmlCtrl*>(framework::CWnd::FromHandlePermanent(page));
            const auto url = [&] { return control ? test::Utf8(control->GetLocationURL()) : ""; };
            (void)test::WaitUntil([&] { return url() == kUpdateList; }, kWaitMs);
            seen = Where(d) + (::GetWindow(d, GW_OWNER) == m_main.m_hWnd ? " owned" : " unowned") +
                   ", page " + Where(page, d) +
                   (control && control->m_bScrollable ? " scrollable " : " fixed ") + url();
            ::PostMessageW(d, WM_KEYDOWN, VK_ESCAPE, 0);
        });

        EXPECT_EQ(dialog.DoModal(), IDCANCEL);

        EXPECT_EQ(seen, std::to_string(c.left) + "," + std::to_string(c.top) +
                            " 385x258 owned, page 0,0 377x230 scrollable " + kUpdateList);
    }
}
