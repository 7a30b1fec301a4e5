// The bridge as a page meets it: scripts run by pagescript against a real CHtmlCtrl.
#include "tests/support/Files.h"
#include "tests/support/PageScript.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

test::ProcessResult RunScript(const std::string& script, const test::PageScriptOptions& options = {})
{
    test::ProcessResult result = test::RunPageScript(script, options);
    EXPECT_TRUE(result.started) << "pagescript.exe did not start";
    return result;
}

} // namespace

TEST(BridgeLookup, NamesAreFoundWithoutRegardToCase)
{
    const auto result = RunScript("print(external.getversion()); print(external.GETVERSION());"
                            "print(window.external.GetVersion()); exit(0);");
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_EQ(result.output, "1\n1\n1\n");
}

TEST(BridgeLookup, UnknownNamesFailAtLookup)
{
    const auto result = RunScript("try { external.NoSuchMethod(); print('called'); }"
                            "catch (e) { print(e.number); } exit(0);");
    EXPECT_EQ(result.output, "-2146827850\n") << "JScript's 'object doesn't support' error";
}

TEST(BridgeInvoke, ArgumentCountErrorsStopTheCall)
{
    const auto result = RunScript(
        "try { external.RunExe(); print('ran'); } catch (e) { print(e.number); }"
        "try { external.GetVersion(1); print('ran'); } catch (e) { print(e.number); }"
        "try { external.SetConfigString('a','b','c'); print('ran'); } catch (e) { print(e.number); }"
        "exit(0);");
    EXPECT_EQ(result.output, "-2147352561\n-2147352562\n-2147352561\n");
}

TEST(BridgeInvoke, TextThatIsNoNumberFailsBeforeTheHandler)
{
    const auto result = RunScript("try { external.GetRegString('x', 'Software', ''); print('ran'); }"
                            "catch (e) { print(e.number); } exit(0);");
    EXPECT_EQ(result.output, "-2147352571\n");
}

TEST(BridgeInvoke, ResultTypesAreWhatTheTableSays)
{
    const auto result = RunScript("print(typeof external.GetVersion());"
                            "print(typeof external.GetAppPath());"
                            "print(typeof external.UpdateBegin());"
                            "print(typeof external.CopyStr('x'));"
                            "print(typeof external.ShowPageWindow());"
                            "print('[' + external.GetQuestion('') + ']');"
                            "print('[' + external.GetQuestion('x') + ']'); exit(0);");
    EXPECT_EQ(result.output, "number\nstring\nboolean\nboolean\nundefined\n[]\n[]\n");
}

TEST(BridgeMethods, GetAppPathIsTheProgramFolderWithItsBackslash)
{
    test::TempDir app;
    test::PageScriptOptions options;
    options.applicationFolder = app.Path();
    const auto result = RunScript("print(external.GetAppPath()); exit(0);", options);
    EXPECT_EQ(result.output, test::Utf8(app.Path()) + "\n");
}

TEST(BridgeMethods, ConfigStringsRoundTripThroughAFullPath)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"sub\\..\\settings.ini");
    const std::string script = "var f = " + test::JsString(root.Path(L"settings.ini")) + ";"
                               "print('[' + external.GetConfigString('Info', 'PATH', f) + ']');"
                               "print(external.SetConfigString('Info', 'PATH', 'D:\\\\游戏', f));"
                               "print(external.GetConfigString('info', 'path', f));"
                               "print(typeof external.SetConfigString('a', 'b', 'c', f));"
                               "exit(0);";
    const auto result = RunScript(script);
    EXPECT_EQ(result.output, "[]\n1\nD:\\游戏\nnumber\n");
    EXPECT_TRUE(test::FileExists(root.Path(L"settings.ini")));
}

TEST(BridgeMethods, ConfigStringArgumentsAreConvertedToText)
{
    test::TempDir root;
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"n.ini"), "[7]\r\n8=nine\r\n"));
    const auto result = RunScript("print(external.GetConfigString(7, 8, "
                                  + test::JsString(root.Path(L"n.ini")) + ")); exit(0);");
    EXPECT_EQ(result.output, "nine\n");
}

TEST(BridgeMethods, LongConfigValuesComeBackCutTo8191Characters)
{
    test::TempDir root;
    const std::string value(9000, 'v');
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"long.ini"), "[s]\r\nk=" + value + "\r\n"));
    const auto result = RunScript("print(external.GetConfigString('s', 'k', "
                            + test::JsString(root.Path(L"long.ini")) + ").length); exit(0);");
    EXPECT_EQ(result.output, "8191\n");
}

TEST(BridgeMethods, ABareConfigFileNameMeansTheWindowsDirectory)
{
    test::TempDir app;
    test::PageScriptOptions options;
    options.applicationFolder = app.Path();
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring windowsIni = std::wstring(windows) + L"\\config.ini";
    const std::string section = "quib-test-" + std::to_string(::GetCurrentProcessId());
    const auto result = RunScript("print(external.SetConfigString('" + section
                                + "', 'k', 'v', 'config.ini')); exit(0);",
                            options);
    EXPECT_EQ(result.output, "1\n");
    EXPECT_FALSE(test::FileExists(app.Path(L"config.ini")));
    wchar_t value[16] = {};
    ::GetPrivateProfileStringW(test::Wide(section).c_str(), L"k", L"", value, 16,
                               windowsIni.c_str());
    EXPECT_STREQ(value, L"v");
    ::WritePrivateProfileStringW(test::Wide(section).c_str(), nullptr, nullptr, windowsIni.c_str());
}

TEST(PageScriptTool, ExitEndsTheScriptAtOnceWithItsCode)
{
    const auto result = RunScript("print('before'); exit(7); print('after');");
    EXPECT_EQ(result.exitCode, 7u);
    EXPECT_EQ(result.output, "before\n");
}

TEST(PageScriptTool, AScriptErrorIsReportedWithItsLine)
{
    const auto result = RunScript("print('a');\nnoSuchFunction();\nexit(0);");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_NE(result.output.find("line 2"), std::string::npos) << result.output;
}

TEST(PageScriptTool, AScriptThatNeverExitsTimesOut)
{
    test::PageScriptOptions options;
    options.timeoutSeconds = 1;
    const auto result = RunScript("print('waiting');", options);
    EXPECT_EQ(result.exitCode, 124u);
    EXPECT_NE(result.output.find("timed out"), std::string::npos) << result.output;
}

TEST(PageScriptTool, PrintWritesUtf8)
{
    const auto result = RunScript("print('游戏不能运行'); print(12); print(true); exit(0);");
    EXPECT_EQ(result.output, "游戏不能运行\n12\ntrue\n");
}

TEST(PageScriptTool, TimersRunOnTheMessageLoopInOrderAndCanBeCleared)
{
    const auto result = RunScript(
        "var order = [];"
        "var dropped = setTimeout(function () { order.push('cleared'); }, 30);"
        "clearTimeout(dropped);"
        "setTimeout(function () { order.push('late'); }, 60);"
        "setTimeout(function () { order.push('early');"
        "  setTimeout(function () { print(order.join(',')); exit(3); }, 100); }, 10);"
        "print('top-level done');");
    EXPECT_EQ(result.exitCode, 3u) << result.output;
    EXPECT_EQ(result.output, "top-level done\nearly,late\n");
}

TEST(PageScriptTool, AnErrorInATimerCallbackEndsTheRun)
{
    const auto result = RunScript("setTimeout(function () { noSuchFunction(); }, 5);");
    EXPECT_EQ(result.exitCode, 1u) << result.output;
}
