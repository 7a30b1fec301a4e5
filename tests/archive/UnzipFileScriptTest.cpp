// UnzipFile as a page calls it: scripts run by pagescript against the real bridge, unpacking
// archives from a Downloads folder into a Games folder beside it.
#include "base/Win.h"
#include "tests/archive/ZipFixtures.h"
#include "tests/support/Files.h"
#include "tests/support/PageScript.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

class UnzipFileScript : public ::testing::Test {
protected:
    test::TempDir app;

    // The folder as a JScript string literal.
    std::string FolderLiteral() const
    {
        std::string literal = "'";
        for (char c : test::Utf8(app.Path()))
            literal += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return literal + "'";
    }

    void Download(const wchar_t* fixture, const wchar_t* savedAs)
    {
        ::CreateDirectoryW(app.Path(L"Downloads").c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW(test::Fixture(fixture).c_str(),
                                (app.Path(L"Downloads\\") + savedAs).c_str(), FALSE));
    }
    std::string Run(const std::string& script)
    {
        const test::ProcessResult result =
            test::RunPageScript("var app = " + FolderLiteral() + ";\n" + script + "\nexit(0);");
        EXPECT_TRUE(result.started && !result.timedOut) << "pagescript.exe did not run to its end";
        return result.output;
    }
};

// One test, one pagescript run: a test program's first child process under CTest costs seconds.
TEST_F(UnzipFileScript, APageUnpacksADownloadedArchiveAndGetsZeroForOneThatReachesOutside)
{
    Download(L"docs.zip", L"文档.zip");
    Download(L"attributes.zip", L"attributes.zip");
    Download(L"slip-up.zip", L"slip-up.zip");
    // Refused: a link inside the target, a name Windows would shorten, data beyond its size,
    // more than the disk holds, a folder over a file.
    const std::string refused =
        "var fixtures = " + test::JsString(test::Fixture(L"")) + ";"
        "print(external.UnzipFile(fixtures + 'through-link.zip', fixtures + 'linked\\\\game'));"
        "var names = ['trailing-dot', 'beyond-size', 'huge-declared', 'dir-over-file'];"
        "for (var i in names) print(external.UnzipFile("
        "    fixtures + names[i] + '.zip', app + 'Games\\\\' + names[i]));";
    EXPECT_EQ(
        Run("print(external.UnzipFile(app + 'Downloads\\\\文档.zip', app + 'Games\\\\文档'));"
            "print(external.UnzipFile(app + 'Downloads\\\\attributes.zip', app + 'Games\\\\attr'));"
            "print(external.UnzipFile(app + 'Downloads\\\\slip-up.zip', app + 'Games\\\\slip'));"
            "print(external.UnzipFile('', app + 'Games\\\\none'));"
            "print(external.UnzipFile(undefined, app + 'Games\\\\none'));"
            "print(external.UnzipFile(app + 'Downloads\\\\missing.zip', app + 'Games\\\\none'));"
            "print(external.UnzipFile(app + 'Downloads\\\\文档.zip', ''));" +
            refused),
        "1\n1\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n");

    EXPECT_EQ(test::TimesOf(app.Path(L"Games\\文档\\docs\\readme.txt")).write,
              test::UnixFileTime(1234567890));
    EXPECT_EQ(test::ReadFileBytes(app.Path(L"Games\\文档\\docs\\readme.txt")), "read me\r\n");
    EXPECT_TRUE(test::AttributesOf(app.Path(L"Games\\attr\\dos-hidden.txt")) &
                FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(test::AttributesOf(app.Path(L"Games\\attr\\unix-readonly.txt")) &
                FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(test::ListTree(app.Path(L"Games\\slip")), std::set<std::string>{"inside.txt"});
    EXPECT_FALSE(test::FileExists(app.Path(L"Games\\escaped.txt")));
    EXPECT_FALSE(test::DirectoryExists(app.Path(L"Games\\none")));
    EXPECT_EQ(test::ListTree(test::Fixture(L"linked\\outside")), std::set<std::string>{});
    EXPECT_EQ(test::ListTree(app.Path(L"Games\\trailing-dot")),
              std::set<std::string>{"inside.txt"});
    EXPECT_EQ(test::ListTree(app.Path(L"Games\\beyond-size")), std::set<std::string>{"first.txt"});
}

} // namespace
