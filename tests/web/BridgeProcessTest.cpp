// Window and process methods as a page calls them through pagescript: the hosting window is
// pagescript's hidden dialog (captioned "pagescript"), which is also the main window there.
#include "tests/support/Files.h"
#include "tests/support/PageScript.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

namespace {

constexpr DWORD kLaunchTimeoutMs = 15000;
constexpr wchar_t kRunFailedText[] = L"游戏不能运行，请检查游戏文件是否完整";

std::string RunScript(const std::string& script, const test::PageScriptOptions& options = {})
{
    const test::ProcessResult result = test::RunPageScript(script + "exit(0);", options);
    EXPECT_TRUE(result.started) << "pagescript.exe did not start";
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    return result.output;
}

struct LaunchReport {
    std::wstring folder;
    std::string show;
};

// The launch probe copied into a folder as the game's launcher.
bool InstallLauncher(const std::wstring& folder)
{
    return ::CopyFileW(test::ProgramPath(L"launch_probe.exe").c_str(),
                       (folder + L"Launch.exe").c_str(), FALSE) != FALSE;
}

// What the probe wrote when it ran from that folder; empty folder when it never ran.
LaunchReport WaitForLaunch(const std::wstring& folder)
{
    const std::wstring file = folder + L"launched.txt";
    if (!test::WaitUntil([&] { return test::FileExists(file); }, kLaunchTimeoutMs))
        return {};
    const std::string text = test::ReadFileBytes(file);
    const size_t firstEnd = text.find('\n');
    const size_t secondEnd = text.find('\n', firstEnd + 1);
    if (firstEnd == std::string::npos || secondEnd == std::string::npos)
        return {};
    return {test::Wide(text.substr(0, firstEnd)),
            text.substr(firstEnd + 1, secondEnd - firstEnd - 1)};
}

std::wstring WithoutTrailingSeparator(std::wstring path)
{
    if (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

} // namespace

TEST(WindowMethods, HandlesTravelAsNumbersThatReachTheirWindows)
{
    const std::string output =
        RunScript("var h = external.GetParentWindow();"
                  "print(typeof h + ' ' + (h != 0) + ' ' + (h == external.GetMainWindow()));"
                  // WM_GETTEXTLENGTH: the dialog's caption "pagescript".
                  "print(external.SendMessage(h, 0x000E, 0, 0));"
                  "print(external.SendMessage(0x7FFFFFF0, 0x000E, 0, 0));");

    EXPECT_EQ(output, "number true true\n10\n0\n");
}

TEST(WindowMethods, ShowWindowReportsWhetherTheWindowWasVisible)
{
    const std::string output = RunScript("var h = external.GetParentWindow();"
                                         "print(external.ShowWindow(h, 0));"
                                         "print(external.ShowWindow(h, 1));"
                                         "print(external.ShowWindow(h, 1) != 0);"
                                         "print(external.ShowWindow(h, 0) != 0);"
                                         "print(external.ShowWindow(h, 0));"
                                         "print(external.ShowWindow(0x7FFFFFF0, 1));");

    EXPECT_EQ(output, "0\n0\ntrue\ntrue\n0\n0\n");
}

TEST(RunExeMethod, StartsTheProgramInItsOwnFolderShownNormally)
{
    test::TempDir root;
    const std::wstring folder = root.Path(L"瓦尔德马克 游戏\\");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(InstallLauncher(folder));

    const std::string output =
        RunScript("print(external.RunExe(" + test::JsString(folder + L"Launch.exe") + "));");

    EXPECT_EQ(output, "true\n");
    const LaunchReport report = WaitForLaunch(folder);
    ASSERT_FALSE(report.folder.empty()) << "the launcher did not run";
    EXPECT_EQ(WithoutTrailingSeparator(report.folder), WithoutTrailingSeparator(folder));
    EXPECT_EQ(report.show, "1") << "SW_SHOWNORMAL";
}

TEST(RunExeMethod, ABareNameStartsFromTheCurrentFolder)
{
    test::TempDir root;
    ASSERT_TRUE(InstallLauncher(root.Path()));
    test::PageScriptOptions options;
    options.workingFolder = root.Path();

    const std::string output = RunScript("print(external.RunExe('Launch.exe'));", options);

    EXPECT_EQ(output, "true\n");
    const LaunchReport report = WaitForLaunch(root.Path());
    ASSERT_FALSE(report.folder.empty()) << "the launcher did not run";
    EXPECT_EQ(WithoutTrailingSeparator(report.folder), WithoutTrailingSeparator(root.Path()));
}

TEST(RunExeMethod, WhatCannotBeStartedShowsTheMessageAndGivesFalse)
{
    test::TempDir root;
    test::BoxAnswerer player({{L"QUIB", IDOK, L"pagescript"}}, test::Whose::StartedPrograms);

    const std::string output =
        RunScript("print(external.RunExe(" + test::JsString(root.Path(L"没有\\Launch.exe")) +
                  "));"
                  "print(external.RunExe(''));");

    EXPECT_EQ(output, "false\nfalse\n");
    EXPECT_EQ(player.Texts(), (std::vector<std::wstring>{kRunFailedText, kRunFailedText}));
}

TEST(BridgeCallers, AForeignDocumentsCallsAreRefusedAndChangeNothing)
{
    test::TempDir root;
    const std::wstring refused = root.Path(L"refused\\");
    const std::wstring started = root.Path(L"started\\");
    ASSERT_TRUE(::CreateDirectoryW(refused.c_str(), nullptr) && InstallLauncher(refused));
    ASSERT_TRUE(::CreateDirectoryW(started.c_str(), nullptr) && InstallLauncher(started));
    const std::wstring ini = root.Path(L"settings.ini");
    const std::wstring kept = root.Path(L"kept.txt");
    ASSERT_TRUE(test::WriteFileBytes(kept, "kept"));
    const std::string script =
        "function Try(call) {"
        "  try { call(); print('ran'); } catch (e) { print(e.number + ' ' + e.message); }"
        "}"
        "Try(function () { external.SetConfigString('s', 'k', 'v', " + test::JsString(ini) +
        "); });"
        "Try(function () { external.RunExe(" + test::JsString(refused + L"Launch.exe") + "); });"
        "Try(function () { external.DeleteFile(" + test::JsString(kept) + "); });"
        "Try(function () { external.GetVersion(); });";
    std::string expected;
    for (int i = 0; i < 4; ++i)
        expected += "-2146828218 Permission denied\n";

    for (const wchar_t* caller :
         {L"https://attacker.example/", L"http://game.valdmark.example/tsly/index.shtml"}) {
        test::PageScriptOptions options;
        options.caller = caller;
        EXPECT_EQ(RunScript(script, options), expected) << test::Utf8(caller);
    }
    EXPECT_FALSE(test::FileExists(ini)) << "a refused SetConfigString wrote the file";
    EXPECT_TRUE(test::FileExists(kept)) << "a refused DeleteFile deleted the file";
    // The portal page's call starts its launcher; by then a refused one would have run too.
    EXPECT_EQ(RunScript("print(external.RunExe(" + test::JsString(started + L"Launch.exe") + "));"),
              "true\n");
    EXPECT_FALSE(WaitForLaunch(started).folder.empty()) << "the portal page's launcher did not run";
    EXPECT_FALSE(test::FileExists(refused + L"launched.txt")) << "a refused RunExe started it";
}
