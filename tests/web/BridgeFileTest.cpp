// The file methods as a page calls them, on real files with Chinese names in a private folder.
#include "tests/support/Files.h"
#include "tests/support/PageScript.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

// Runs the script to its end; the output is what it printed.
std::string RunScript(const std::string& script, const test::PageScriptOptions& options = {})
{
    const test::ProcessResult result = test::RunPageScript(script + "exit(0);", options);
    EXPECT_TRUE(result.started) << "pagescript.exe did not start";
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    return result.output;
}

// external.Method("...", "..."): the arguments as script strings.
std::string Call(const std::string& method, std::initializer_list<std::wstring> args)
{
    std::string call = "external." + method + "(";
    for (const std::wstring& arg : args)
        call += (call.back() == '(' ? "" : ", ") + test::JsString(arg);
    return call + ")";
}

// Prints the call's type and whether it reported success: the page gets numbers, not Booleans.
std::string PrintOutcome(const std::string& call)
{
    return "var r = " + call + "; print(typeof r + ' ' + (r != 0));";
}

} // namespace

TEST(FileMethods, DeleteFileRemovesOneFileAndNothingElse)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"存档.txt");
    const std::wstring folder = root.Path(L"文件夹");
    const std::wstring readOnly = root.Path(L"只读.txt");
    ASSERT_TRUE(test::WriteFileBytes(file, "save"));
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(test::WriteFileBytes(readOnly, "keep"));
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));

    const std::string output = RunScript(
        PrintOutcome(Call("DeleteFile", {file})) + PrintOutcome(Call("DeleteFile", {file})) +
        PrintOutcome(Call("DeleteFile", {folder})) + PrintOutcome(Call("DeleteFile", {readOnly})) +
        PrintOutcome(Call("DeleteFile", {root.Path(L"*.txt")})));

    EXPECT_EQ(output, "number true\nnumber false\nnumber false\nnumber false\nnumber false\n");
    EXPECT_FALSE(test::FileExists(file));
    EXPECT_TRUE(test::DirectoryExists(folder));
    EXPECT_EQ(test::ReadFileBytes(readOnly), "keep");
}

TEST(FileMethods, RelativePathsAndNumbersNameFilesInTheCurrentFolder)
{
    test::TempDir root;
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"5"), "five"));
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"旧.txt"), "old"));
    test::PageScriptOptions options;
    options.workingFolder = root.Path();

    const std::string output = RunScript(PrintOutcome("external.DeleteFile(5)") +
                                             PrintOutcome(Call("CopyFile", {L"旧.txt", L"新.txt"})),
                                         options);

    EXPECT_EQ(output, "number true\nnumber true\n");
    EXPECT_FALSE(test::FileExists(root.Path(L"5")));
    EXPECT_EQ(test::ReadFileBytes(root.Path(L"新.txt")), "old");
}

TEST(FileMethods, CopyFileReplacesAnExistingTarget)
{
    test::TempDir root;
    const std::wstring source = root.Path(L"新版.bin");
    const std::wstring target = root.Path(L"旧版.bin");
    ASSERT_TRUE(test::WriteFileBytes(source, "new"));
    ASSERT_TRUE(test::WriteFileBytes(target, "old and longer"));

    const std::string output =
        RunScript(PrintOutcome(Call("CopyFile", {source, target})) +
                  PrintOutcome(Call("CopyFile", {root.Path(L"missing.bin"), target})) +
                  PrintOutcome(Call("CopyFile", {source, root.Path(L"no\\such\\folder.bin")})));

    EXPECT_EQ(output, "number true\nnumber false\nnumber false\n");
    EXPECT_EQ(test::ReadFileBytes(target), "new");
    EXPECT_EQ(test::ReadFileBytes(source), "new");
    EXPECT_FALSE(test::DirectoryExists(root.Path(L"no")));
}

TEST(FileMethods, MoveFileReplacesTheTargetOnlyByAMoveThatSucceeds)
{
    test::TempDir root;
    const std::wstring source = root.Path(L"下载.zip");
    const std::wstring target = root.Path(L"游戏.zip");
    ASSERT_TRUE(test::WriteFileBytes(source, "downloaded"));
    ASSERT_TRUE(test::WriteFileBytes(target, "installed"));

    const std::string output = RunScript(PrintOutcome(Call("MoveFile", {source, target})));

    EXPECT_EQ(output, "number true\n");
    EXPECT_FALSE(test::FileExists(source));
    EXPECT_EQ(test::ReadFileBytes(target), "downloaded");
}

TEST(FileMethods, AFailedMoveLosesNeitherFile)
{
    test::TempDir root;
    const std::wstring target = root.Path(L"游戏.zip");
    const std::wstring kept = root.Path(L"保留.zip");
    ASSERT_TRUE(test::WriteFileBytes(target, "installed"));
    ASSERT_TRUE(test::WriteFileBytes(kept, "kept"));

    const std::string output =
        RunScript(PrintOutcome(Call("MoveFile", {root.Path(L"missing.zip"), target})) +
                  PrintOutcome(Call("MoveFile", {kept, root.Path(L"no\\such.zip")})) +
                  Call("MoveFile", {target, target}) + ";");

    EXPECT_EQ(output, "number false\nnumber false\n");
    EXPECT_EQ(test::ReadFileBytes(target), "installed")
        << "the target must survive a move whose source is missing, and a move onto itself";
    EXPECT_EQ(test::ReadFileBytes(kept), "kept");
}

TEST(FileMethods, GetFilePathGivesTheFolderAsWrittenWhenSomethingMatches)
{
    test::TempDir root;
    ASSERT_TRUE(::CreateDirectoryW(root.Path(L"游戏").c_str(), nullptr));
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"游戏\\Launch.exe"), "MZ"));
    std::string script;
    for (const wchar_t* path : {L"游戏\\Launch.exe", L"游戏\\*.exe", L"游戏\\..\\游戏\\launch.EXE",
                                L"游戏", L"游戏\\*.dll", L"游戏\\Missing.exe"})
        script += "print('[' + " + Call("GetFilePath", {root.Path(path)}) + " + ']');";
    script += "print('[' + external.GetFilePath('') + ']');";

    const std::string output = RunScript(script);

    const std::string folder = test::Utf8(root.Path(L"游戏\\"));
    EXPECT_EQ(output, "[" + folder + "]\n[" + folder + "]\n[" +
                          test::Utf8(root.Path(L"游戏\\..\\游戏\\")) + "]\n[" +
                          test::Utf8(root.Path()) + "]\n[]\n[]\n[]\n");
}

TEST(FileMethods, GetFilePathOfABareNameIsEmptyText)
{
    test::TempDir root;
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"Launch.exe"), "MZ"));
    test::PageScriptOptions options;
    options.workingFolder = root.Path();

    const std::string output =
        RunScript("var p = external.GetFilePath('Launch.exe'); print(typeof p + '[' + p + ']');"
                  "print(external.GetFilePath('*.exe').length);",
                  options);

    EXPECT_EQ(output, "string[]\n0\n");
}

TEST(ConfigMethods, AFileInAMissingFolderIsNotWrittenAndNothingIsCreated)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"缺少\\config.ini");

    const std::string output =
        RunScript(PrintOutcome(Call("SetConfigString", {L"Info", L"PATH", L"D:\\Game", file})) +
                  "print('[' + " + Call("GetConfigString", {L"Info", L"PATH", file}) + " + ']');");

    EXPECT_EQ(output, "number false\n[]\n");
    EXPECT_FALSE(test::DirectoryExists(root.Path(L"缺少")));
}
