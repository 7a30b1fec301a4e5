// The bridge as a page meets it: page scripts run by pagescript against a real CHtmlCtrl, on files
// with Chinese names, a registry key of the test's own and the clipboard.
#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/RegistryKey.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>
#include <vector>

namespace {

// Runs each line "expression => what the page sees" of the calls (type:value, or error <number>)
// as a call of the page, in order, each in a try of its own. Returns what pagescript printed
// besides: the message boxes it answered and what the hosting window was asked to do.
std::vector<std::string> RunCalls(const std::string& prelude, const std::string& calls,
                                  const test::PageScriptOptions& options)
{
    std::vector<std::pair<std::string, std::string>> cases;
    std::string script = prelude + "function Show(f) { try { var r = f(); print(typeof r + ':' + r)"
                                   "; } catch (e) { print('error ' + e.number); } }\n";
    std::istringstream lines(calls);
    for (std::string line; std::getline(lines, line);) {
        if (const size_t arrow = line.find(" => "); arrow != std::string::npos) {
            cases.emplace_back(line.substr(0, arrow), line.substr(arrow + 4));
            script += "Show(function () { return " + cases.back().first + "; });\n";
        }
    }
    const test::ProcessResult run = test::RunPageScript(script + "exit(0);", options);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    std::istringstream printed(run.output);
    std::vector<std::string> besides;
    for (const auto& [expression, expected] : cases) {
        std::string line;
        while (std::getline(printed, line) &&
               (line.rfind("BOX ", 0) == 0 || line.rfind("HOST ", 0) == 0))
            besides.push_back(line);
        EXPECT_EQ(line, expected) << expression;
    }
    return besides;
}

std::string Js(const std::wstring& text) { return test::JsString(text); }

std::wstring ClipboardText()
{
    std::wstring text = L"(cannot open)";
    if (::OpenClipboard(nullptr)) {
        HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
        text = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
        ::GlobalUnlock(data);
        ::CloseClipboard();
    }
    return text;
}

} // namespace

TEST(PageBridge, EachMethodAnswersThePortalPageAndNothingAnotherOrigin)
{
    test::TempDir root;
    test::TestRegistryKey key;
    const std::wstring game = root.Path(L"游戏 1\\"), refused = root.Path(L"refused\\");
    for (const std::wstring& folder : {game, refused, root.Path(L"文件夹"), root.Path(L"game 2")})
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    for (const std::wstring& launcher : {game + L"Launch.exe", refused + L"Launch.exe"})
        ASSERT_TRUE(
            ::CopyFileW(test::ProgramPath(L"fake_updater.exe").c_str(), launcher.c_str(), 0));
    ASSERT_TRUE(
        test::WriteFileBytes(root.Path(L"game 2\\start.cmd"), "cd > \"%~dp0here.txt\"\r\n"));
    // A value longer than the page may read: it gets the first 8191 characters.
    const std::string profile = "[7]\r\n8=nine\r\n9=" + std::string(8192, '9');
    struct File {
        const wchar_t* name;
        const char* before; // the page's calls; null: none
        const char* after;
    };
    const File files[] = {
        {L"存档.txt", "save", nullptr},
        {L"只读.txt", "keep", "keep"},
        {L"隐藏.txt", "hide", "hide"},
        {L"5", "five", nullptr},
        {L"旧.txt", "old", "old"},
        {L"新.txt", nullptr, "old"},
        {L"新版.bin", "new", "new"},
        {L"旧版.bin", "old, longer", "new"},
        {L"下载.zip", "load", nullptr},
        {L"游戏.zip", "installed", "load"},
        {L"保留.zip", "kept", "kept"},
        {L"n.ini", profile.c_str(), profile.c_str()},
    };
    for (const auto& [name, before, after] : files)
        ASSERT_TRUE(!before || test::WriteFileBytes(root.Path(name), before));
    ASSERT_TRUE(::SetFileAttributesW(root.Path(L"只读.txt").c_str(), FILE_ATTRIBUTE_READONLY) &&
                ::SetFileAttributesW(root.Path(L"隐藏.txt").c_str(), FILE_ATTRIBUTE_HIDDEN) &&
                test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"", REG_SZ,
                                  test::TextBytes(L"默认值")) &&
                test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"PATH", REG_SZ,
                                  test::TextBytes(L"D:\\游戏")) &&
                test::WriteFileBytes(root.Path(L"u.ini"), "\xFF\xFE")); // UTF-16, nothing else
    const std::string names =
        "var k = " + Js(key.SubKey()) + ", ini = " + Js(root.Path(L"settings.ini")) +
        ", n = " + Js(root.Path(L"n.ini")) + ", u = " + Js(root.Path(L"u.ini")) +
        ", g = " + Js(game) + ", r = " + Js(refused) + ";\n";
    test::PageScriptOptions options;
    options.workingFolder = root.Path();

    // Refused before anything else, argument errors included, and whatever the kind of access
    // (a call, reading the method, writing it) or the case of the name.
    options.caller = L"https://attacker.example/";
    (void)RunCalls(names, R"(
external.SetConfigString('Info', 'PATH', 'x', ini) => error -2146828218
external.runexe(r + 'Launch.exe') => error -2146828218
external['DELETEFILE']('存档.txt') => error -2146828218
external.GetVersion(1) => error -2146828218
external.GetVersion => error -2146828218
(external.RunExe = r + 'Launch.exe') => error -2146828218
(function () { try { external.GetVersion(); } catch (e) { return e.message; } })() => string:Permission denied
)",
             options);
    EXPECT_TRUE(test::FileExists(root.Path(L"存档.txt")) &&
                !test::FileExists(root.Path(L"settings.ini")))
        << "a refused call deleted or wrote a file";

    options.caller.clear();
    const std::vector<std::string> told = RunCalls(names + "var h = external.GetParentWindow();\n", R"(
external.getversion() + external.GETVERSION() => number:2
external.NoSuchMethod() => error -2146827850
[external.SendMessage(h, 0x000E, 0, 0), external.SendMessage(0x7FFFFFF0, 0x000E, 0, 0), external.SendMessage(h, 0x002B, 0, 0), external.SendMessage(h, 0x002C, 0, 0), external.SendMessage(h, 0x0110, 0, 0x1234)] + '' => string:10,0,0,0,0
[external.ShowWindow(h, 0), external.ShowWindow(h, 1), external.ShowWindow(h, 0) != 0, external.ShowWindow(0x7FFFFFF0, 1)] + '' => string:0,0,true,0
external.UpdateBegin() && external.Find() => boolean:true
[external.SetConfigString('Info', 'PATH', 'D:\\游戏', ini), external.SetConfigString(1, 2, 3, r + 'no\\x.ini')] + '' => string:1,0
[external.SetConfigString('Info', 'PATH', 'D:\\游戏\u0142', ini), external.SetConfigString('Info', 'PATH', 'x\r\nLauncher=y', ini), external.SetConfigString('Info', 'PATH\nLauncher', '', ini), external.SetConfigString('Info', 'PATH=x', '', ini), external.SetConfigString('Info', '[x]', '', ini)] + '' => string:0,0,0,0,0
[external.SetConfigString('Info', 'PATH', ' x', ini), external.SetConfigString('Info', 'PATH', '"x"', ini), external.SetConfigString('Info', 'PATH', Array(8193).join('x'), ini)] + '' => string:0,0,0
external.GetConfigString('info', 'path', ini) + external.GetConfigString('Info', 'Launcher', ini) => string:D:\游戏
external.SetConfigString('s', 'k', 'D:\\游戏\u0142', u) + external.GetConfigString('s', 'k', u) => string:1D:\游戏ł
external.GetConfigString(7, 8, n) + external.GetConfigString(7, 9, n).length => string:nine8191
external.DeleteFile('存档.txt' + String.fromCharCode(0) + '.bak') => error -2147352571
external.DeleteFile('存档.txt') => number:1
[external.DeleteFile('文件夹'), external.DeleteFile('只读.txt'), external.DeleteFile('*.txt')] + '' => string:0,0,0
[external.CopyFile('新版.bin', '只读.txt'), external.CopyFile('新版.bin', '隐藏.txt'), external.MoveFile('保留.zip', '只读.txt')] + '' => string:0,0,0
external.DeleteFile(5) => number:1
external.CopyFile('新版.bin', '旧版.bin') => number:1
[external.CopyFile('none.bin', '旧版.bin'), external.CopyFile('新版.bin', 'no\\x.bin')] + '' => string:0,0
external.CopyFile('旧.txt', '新.txt') => number:1
external.MoveFile('下载.zip', '游戏.zip') => number:1
[external.MoveFile('none.zip', '游戏.zip'), external.MoveFile('保留.zip', 'no\\x.zip')] + '' => string:0,0
typeof external.MoveFile('游戏.zip', '游戏.zip') => string:number
external.GetFilePath(g + '*.exe') == g => boolean:true
external.GetFilePath('游戏 1\\..\\游戏 1\\launch.EXE') => string:游戏 1\..\游戏 1\
external.GetFilePath('游戏 1\\*.dll') + external.GetFilePath('Launch.exe') => string:
external.GetRegString(1, k, '') => string:默认值
external.GetRegString('1', k, 'path') => string:D:\游戏
external.SetRegString(1, k, 'PATH', 'E:\\游戏') => boolean:true
[external.SetRegString(1, k + '\\no', 'PATH', 'x'), external.SetRegString(8, k, 'r8', 'x')] + '' => string:true,true
external.GetRegString(1, k, 'PATH') + external.GetRegString(1, k + '\\no', 'PATH') + external.GetRegString(1, k, 'r8') => string:E:\游戏
external.RunExe(g + 'Launch.exe') => boolean:true
external.RunExe('game 2\\start.cmd') => boolean:true
external.RunExe('没有\\Launch.exe') => boolean:false
external.RunExe(g + 'Launch.exe" x') => boolean:false
external.CopyStr('复制：瓦尔德马克 Valdmark 1.0') => boolean:true
external.RunExe('') => boolean:false
)",
             options);

    for (const auto& [name, before, after] : files)
        EXPECT_EQ(test::FileExists(root.Path(name)) ? test::ReadFileBytes(root.Path(name)) : "-",
                  after ? after : "-")
            << test::Utf8(name);
    // The stand-in updater records its show command; the command script, the folder it runs in.
    const auto launched = [](const std::wstring& record, const std::string& expected) {
        return test::WaitUntil([&] { return test::ReadFileBytes(record) == expected; }, 15000);
    };
    EXPECT_TRUE(launched(game + L"updater-ran.txt", "show=1\r\n")) << "not shown normally";
    EXPECT_TRUE(launched(root.Path(L"game 2\\here.txt"), test::Utf8(root.Path(L"game 2")) + "\r\n"))
        << "not started in its own folder";
    EXPECT_FALSE(test::FileExists(refused + L"updater-ran.txt")) << "a refused call started it";
    EXPECT_EQ(ClipboardText(), L"复制：瓦尔德马克 Valdmark 1.0");
    const std::string runFailed = "BOX QUIB | 游戏不能运行，请检查游戏文件是否完整 | OK";
    EXPECT_EQ(told, (std::vector<std::string>{
                        "HOST UpdateBegin: the hosting window is told of a newer version",
                        "HOST Find: the hosting window is asked to choose the game directory",
                        runFailed, runFailed, runFailed}));

    // A clipboard held elsewhere: the page hears false, the player is told, the text stays.
    ASSERT_TRUE(::OpenClipboard(nullptr));
    EXPECT_EQ(RunCalls("", "external.CopyStr('新') => boolean:false", options),
              std::vector<std::string>{"BOX QUIB | 打开剪切板失败 | OK"});
    ::CloseClipboard();
    EXPECT_EQ(ClipboardText(), L"复制：瓦尔德马克 Valdmark 1.0");
    EXPECT_TRUE(RunCalls("", "external.CopyStr('') => boolean:true", options).empty());
    EXPECT_EQ(ClipboardText(), L"") << "an empty text left the clipboard's text";
}
