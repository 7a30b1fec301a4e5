// Every way out of the whole program ends the process with exit code 0.
#include "res/resource.h"
#include "tests/app/RunningQuib.h"
#include "tests/support/Files.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

using test::RunningQuib;

TEST(ExitCode, EveryWayOutEndsWithZero)
{
    const struct {
        const char* what;
        const char* config;
        int command;
        int answer; // to the close prompt, 0 when none is expected
    } cases[] = {
        {"tray menu exit", "[system]\r\nexit=1\r\n", ID_TRAY_EXIT, 0},
        {"close button with exit=2", "[system]\r\nexit=2\r\n", IDC_BTN_CLOSE, 0},
        {"Yes in the close prompt", "[system]\r\nexit=0\r\n", IDC_BTN_CLOSE, IDYES},
    };
    for (const auto& c : cases) {
        RunningQuib quib(c.config);
        HWND window = quib.Start();
        ASSERT_NE(window, nullptr) << c.what;
        std::vector<test::BoxAnswer> answers;
        if (c.answer)
            answers.push_back({L"关闭", c.answer});
        test::BoxAnswerer answerer(answers, test::Whose::StartedPrograms);
        test::PostClick(window, c.command);
        if (c.answer) {
            ASSERT_TRUE(test::WaitUntil([&] { return !answerer.Seen().empty(); }, 10000))
                << c.what << ": no prompt";
        }
        DWORD code = 99;
        ASSERT_TRUE(quib.WaitForExit(code)) << c.what << ": the program kept running";
        EXPECT_EQ(code, 0u) << c.what;
    }
}

TEST(ExitCode, TheUpdaterStartEndsWithZeroAndTheUpdaterRunsHidden)
{
    // An updater already in place that passes the check: started without going to the network.
    const struct {
        const char* what;
        const wchar_t* program; // empty: QUIB.exe as built
        const wchar_t* updater;
    } cases[] = {
        {"unsigned build", L"", L"fake_updater.exe"},
        {"build signed by the updater's signer", L"signed\\quib-a.exe", L"signed\\updater-a.exe"},
    };
    for (const auto& c : cases) {
        RunningQuib quib("[system]\r\nautoupdate=1\r\n");
        if (*c.program) {
            ASSERT_TRUE(
                ::CopyFileW(test::ProgramPath(c.program).c_str(), quib.Program().c_str(), FALSE))
                << c.what;
        }
        const std::wstring updater = quib.Folder().Path(L"ZantoVkUpdate.exe");
        ASSERT_TRUE(::CopyFileW(test::ProgramPath(c.updater).c_str(), updater.c_str(), FALSE));
        HWND window = quib.Start();
        ASSERT_NE(window, nullptr) << c.what;
        test::PostClick(window, ID_UPDATE_CHECK);
        DWORD code = 99;
        ASSERT_TRUE(quib.WaitForExit(code)) << c.what << ": kept running after the updater start";
        EXPECT_EQ(code, 0u) << c.what;
        const std::wstring record = quib.Folder().Path(L"updater-ran.txt");
        EXPECT_TRUE(
            test::WaitUntil([&] { return test::ReadFileBytes(record) == "show=0\r\n"; }, 10000))
            << c.what << ": the updater did not run hidden: '" << test::ReadFileBytes(record)
            << "'";
        EXPECT_EQ(test::FindTopWindow(test::Whose::StartedPrograms, L"#32770", L"更新"), nullptr)
            << c.what << ": nothing is reported";
        // The updater must have let go of its file before the folder goes.
        (void)test::WaitUntil([&] { return ::DeleteFileW(updater.c_str()) != FALSE; }, 10000);
    }
}
