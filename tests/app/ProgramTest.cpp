// The whole program, started in an application folder of its own: one copy at a time, and exit
// code 0 on every way out.
#include "res/resource.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

TEST(Program, OneCopyAtATimeAndEveryWayOutEndsWithZero)
{
    enum Second { None, Shown, Hidden }; // a second copy started while the first is shown, hidden
    const struct {
        const char* what;
        const char* config;
        Second second;
        int command;
        int answer;             // to the close prompt, 0 when none is expected
        const wchar_t* program; // in place of QUIB.exe as built, or null
        const wchar_t* updater; // a passing updater in place, started by the command, or null
    } cases[] = {
        {"tray menu exit", "[system]\r\nexit=1\r\n", Shown, ID_TRAY_EXIT, 0, nullptr, nullptr},
        {"close with exit=2", "[system]\r\nexit=2\r\n", Hidden, IDC_BTN_CLOSE, 0, nullptr, nullptr},
        {"Yes in the close prompt", "[system]\r\nexit=0\r\n", None, IDC_BTN_CLOSE, IDYES, nullptr,
         nullptr},
        {"the updater start", "", None, ID_UPDATE_CHECK, 0, nullptr, L"fake_updater.exe"},
        {"the updater start, signed build", "", None, ID_UPDATE_CHECK, 0, L"signed\\quib-a.exe",
         L"signed\\updater-a.exe"},
    };
    // One after the other: each copy starts only once the one before has ended and let go of
    // the single-instance mutex.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const std::wstring quib = dir.Path(L"QUIB.exe"), updater = dir.Path(L"ZantoVkUpdate.exe");
        ASSERT_TRUE(::CopyFileW(test::ProgramPath(c.program ? c.program : L"QUIB.exe").c_str(),
                                quib.c_str(), FALSE));
        ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"config.ini"), c.config));
        ASSERT_TRUE(!c.updater ||
                    ::CopyFileW(test::ProgramPath(c.updater).c_str(), updater.c_str(), FALSE));
        UniqueHandle first = test::StartProcess(test::Quote(quib), dir.Path());
        struct Ender { // a copy left running would keep the next from starting
            HANDLE process;
            ~Ender() { ::TerminateProcess(process, 1), ::WaitForSingleObject(process, 20000); }
        } ender{first.Get()};
        // Acted on once its window is shown and its loop runs.
        HWND window = nullptr;
        ASSERT_TRUE(test::WaitUntil(
            [&] {
                window = test::FindTopWindow(test::Whose::StartedPrograms, L"#32770",
                                             L"ZantoValdmarkolTessaly");
                return window != nullptr;
            },
            20000));
        ::WaitForInputIdle(first.Get(), 20000);
        DWORD code = 99;
        if (c.second != None) {
            if (c.second == Hidden)
                ::ShowWindow(window, SW_HIDE);
            UniqueWindow thief(::CreateWindowExW(0, L"STATIC", L"thief", WS_POPUP | WS_VISIBLE, 0,
                                                 0, 50, 50, nullptr, nullptr, nullptr, nullptr));
            ::SetForegroundWindow(thief.Get());
            UniqueHandle second = test::StartProcess(test::Quote(quib), dir.Path());
            ASSERT_TRUE(test::WaitForExit(second.Get(), 20000, code)) << "the second kept running";
            EXPECT_EQ(code, 0u);
            EXPECT_EQ(test::TopWindows(test::Whose::StartedPrograms, L"#32770").size(),
                      c.second == Shown ? 1u : 0u)
                << "the second showed a window";
            EXPECT_TRUE(c.second == Hidden ||
                        test::WaitUntil([&] { return ::GetForegroundWindow() == window; }, 5000))
                << "the first was not brought forward";
            EXPECT_EQ(::IsWindowVisible(window) != FALSE, c.second == Shown);
        }
        test::BoxAnswerer answerer({{L"关闭", c.answer ? c.answer : IDCANCEL}},
                                   test::Whose::StartedPrograms);
        test::PostClick(window, c.command);
        ASSERT_TRUE(test::WaitForExit(first.Get(), 20000, code)) << "the program kept running";
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(answerer.Seen().size(), c.answer ? 1u : 0u);
        const std::wstring record = dir.Path(L"updater-ran.txt");
        EXPECT_TRUE(
            !c.updater ||
            test::WaitUntil([&] { return test::ReadFileBytes(record) == "show=0\r\n"; }, 10000))
            << "the updater did not run hidden";
        // The updater must have let go of its file before the folder goes.
        (void)test::WaitUntil([&] { return ::DeleteFileW(updater.c_str()) || !c.updater; }, 10000);
    }
}
