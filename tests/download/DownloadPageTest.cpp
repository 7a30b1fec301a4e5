// Downloads as a page drives them: page scripts run by pagescript against the real bridge, with
// the page's OnDownloadProgress reached through SetCallBack(document).
#include "base/Unique.h"
#include "tests/support/Files.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/PageScript.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace {

constexpr uint64_t kFileSize = 40960;

class PageDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(test::Servers().http, 0)
            << "the test servers are not running (CTest starts them)";
        m_token = test::UniqueToken();
    }

    // Runs the script with the test's own folder as the application folder.
    std::string Run(const std::string& script)
    {
        test::PageScriptOptions options;
        options.applicationFolder = m_app.Path();
        const test::ProcessResult result = test::RunPageScript(script, options);
        EXPECT_TRUE(result.started) << "pagescript.exe did not start";
        EXPECT_EQ(result.exitCode, 0u) << result.output;
        return result.output;
    }
    std::string Url(const std::string& mode, uint64_t size = kFileSize, int64_t extra = -1,
                    const std::string& query = "")
    {
        std::string literal = "\"";
        literal += test::Utf8(test::CaseUrl(m_token, mode, size, extra));
        literal += query + '"';
        return literal;
    }
    std::wstring Downloaded(const std::wstring& name) { return m_app.Path(L"Downloads\\" + name); }
    std::vector<std::string> Requests() { return test::RecordedRequests(m_token); }

    test::TempDir m_app;
    std::string m_token;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// Every event the page hears, as "state idHigh idLow value".
constexpr char kPrintEvents[] = "function OnDownloadProgress(s, h, l, v) {"
                                "  print(s + ' ' + h + ' ' + l + ' ' + v);"
                                "  if (s != 1) exit(0);"
                                "}"
                                "external.SetCallBack(document);";

} // namespace

TEST_F(PageDownload, ThePageHearsEachTenthOnItsOwnThreadThenTheEnd)
{
    // The application folder has no Downloads folder yet: the first download makes it.
    const std::string script =
        "var ui = threadId(), elsewhere = 0;"
        "function OnDownloadProgress(s, h, l, v) {"
        "  if (threadId() != ui) elsewhere++;"
        "  print(s + ' ' + h + ' ' + l + ' ' + v);"
        "  if (s != 1) { print('calls on other threads: ' + elsewhere); exit(0); }"
        "}"
        // Registering again replaces the registration; the document stays reachable.
        "print(external.SetCallBack(document) + ' ' + external.SetCallBack(document));"
        "print(external.DownloadFile(" + Url("file") + ", 'progress.bin', 7, 3));";
    std::string expected = "0 0\n1\n";
    for (int percent = 10; percent <= 100; percent += 10)
        expected += "1 7 3 " + std::to_string(percent) + "\n";
    expected += "2 7 3 100\ncalls on other threads: 0\n";
    EXPECT_EQ(Run(script), expected);
    EXPECT_TRUE(test::ReadFileBytes(Downloaded(L"progress.bin"))
                == test::PatternBytes(0, kFileSize));
}

TEST_F(PageDownload, PausedFromItsOwnProgressCallAndResumedItNeverSplicesAnotherVersion)
{
    // The server's file is at version 1 while the task starts, then at version 2, first behind
    // a server that ignores If-Range, then behind one that honours it.
    constexpr uint64_t kSize = 204800;
    const std::string script =
        "var paused = false;"
        "function OnDownloadProgress(s, h, l, v) {"
        "  if (s == 1 && !paused) {"
        "    paused = true;"
        "    print('pause ' + external.PauseDownload(1, 2) + ' ' + external.PauseDownload(1, 2));"
        "  } else if (s == -100) {"
        "    print('paused ' + v);"
        "    print('resume ' + external.DownloadFile(" + Url("ignoresifrange", kSize, 2) +
        "          , 'v.bin', 1, 2));"
        "  } else if (s == -1) {"
        "    print('failed ' + v);"
        "    print('resume ' + external.DownloadFile(" + Url("etag", kSize, 2) +
        "          , 'v.bin', 1, 2));"
        "  } else if (s != 1) {"
        "    print('end ' + s + ' ' + v); exit(0);"
        "  }"
        "}"
        "external.SetCallBack(document);"
        "print('start ' + external.DownloadFile(" + Url("etag", kSize, 1, "?delay=10") +
        "      , 'v.bin', 1, 2));";
    // One paused event however often the page asks; the resume from inside the paused event
    // sees the task paused already, so it starts. A part of version 2 fails; the whole of it
    // replaces the file.
    EXPECT_EQ(Run(script),
              "start 1\npause 1 1\npaused 0\nresume 1\nfailed 0\nresume 1\nend 2 100\n");
    EXPECT_TRUE(test::ReadFileBytes(Downloaded(L"v.bin")) == test::PatternBytes(0, kSize, 2))
        << "the file is not version 2 whole";
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    const auto range = test::RangeLines(requests[1]);
    ASSERT_EQ(range.size(), 1u) << "the resume did not ask for the rest";
    const uint64_t from = std::stoull(range[0].substr(std::string("Range: bytes=").size()));
    EXPECT_GT(from, 0u);
    EXPECT_LT(from, kSize);
    EXPECT_EQ(test::RangeLines(requests[2]), range) << "the failed part wrote to the file";
    for (size_t i = 1; i < requests.size(); ++i) {
        EXPECT_EQ(test::HeaderLines(requests[i], "If-Range"),
                  std::vector<std::string>{"If-Range: \"v1\"\r\n"})
            << "resume " << i << " did not name version 1";
    }
}

TEST_F(PageDownload, OneTransferPerTaskAndPerFile)
{
    const std::string slow = Url("slow", 40960, 5);
    const std::string script =
        "function OnDownloadProgress(s, h, l, v) {"
        "  if (s == 1) return;"
        "  print(l + ' ended ' + s);"
        "  if (l == 1)"
        "    print('retry ' + external.DownloadFile(" + Url("file") + ", 'same.bin', 1, 2));"
        "  else exit(0);"
        "}"
        "external.SetCallBack(document);"
        "print(external.DownloadFile(" + slow + ", 'same.bin', 1, 1));"
        "print(external.DownloadFile(" + slow + ", 'same.bin', 1, 1));"
        "print(external.DownloadFile(" + Url("file") + ", 'same.bin', 1, 2));";
    // The same id while it runs, then another id on the file in use: both refused; the second
    // id may try again once the file is free.
    EXPECT_EQ(Run(script), "1\n0\n0\n1 ended 2\nretry 1\n2 ended 2\n");
    EXPECT_TRUE(test::ReadFileBytes(Downloaded(L"same.bin")) == test::PatternBytes(0, kFileSize));
}

TEST_F(PageDownload, OneUrlUnderTwoIdsMakesTwoIndependentTransfers)
{
    const std::string script =
        "var ended = 0;"
        "function OnDownloadProgress(s, h, l, v) {"
        "  if (s == 1) return;"
        "  print(h + ' ' + l + ' ' + s + ' ' + v);"
        "  if (++ended == 2) exit(0);"
        "}"
        "external.SetCallBack(document);"
        "print(external.DownloadFile(" + Url("file") + ", 'a.bin', 0, 1));"
        "print(external.DownloadFile(" + Url("file") + ", 'b.bin', 0, 2));";
    auto lines = Lines(Run(script));
    ASSERT_EQ(lines.size(), 4u);
    std::sort(lines.begin() + 2, lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"1", "1", "0 1 2 100", "0 2 2 100"}));
    EXPECT_TRUE(test::ReadFileBytes(Downloaded(L"a.bin")) == test::PatternBytes(0, kFileSize));
    EXPECT_TRUE(test::ReadFileBytes(Downloaded(L"b.bin")) == test::PatternBytes(0, kFileSize));
    EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(PageDownload, IdHalvesComeBackAsTheIdsHighAndLowBits)
{
    const std::string script =
        "function OnDownloadProgress(s, h, l, v) {"
        "  if (s != 2) return;"
        "  print(h + ' ' + l);"
        "  print(external.PauseDownload(4, -1) + ' ' + external.PauseDownload(5, -1) + ' '"
        "        + external.PauseDownload(9, 9));"
        "  exit(0);"
        "}"
        "external.SetCallBack(document);"
        "external.DownloadFile(" + Url("file", 4096) + ", 'halves.bin', 5, -1);";
    // 5 * 2^32 - 1: the page hears 4 and -1; PauseDownload(4, -1) is another, unknown id.
    EXPECT_EQ(Run(script), "4 -1\n0 1 0\n");
}

TEST_F(PageDownload, BadUrlsFailDuringTheCallAndAnEmptyNameStartsNothing)
{
    const std::string script = std::string(kPrintEvents) +
        "print('returned ' + external.DownloadFile('', 'a.bin', 1, 1));"
        "print('returned ' + external.DownloadFile('http//nohost', 'b.bin', 1, 2));"
        "print('returned ' + external.DownloadFile(" + Url("file") + ", '', 1, 3));"
        "print('again ' + external.DownloadFile('', 'a.bin', 1, 1));"
        "exit(0);";
    EXPECT_EQ(Run(script), "-1 1 1 0\nreturned 1\n-1 1 2 0\nreturned 1\nreturned 0\n-1 1 1 0\n"
                           "again 1\n");
    EXPECT_TRUE(Requests().empty()) << "a request went out for an empty file name";
    EXPECT_FALSE(test::FileExists(Downloaded(L"a.bin"))) << "a bad address left a file";
    EXPECT_FALSE(test::FileExists(Downloaded(L"b.bin"))) << "a bad address left a file";
}

TEST_F(PageDownload, NamesThatLeaveTheFolderOrMisleadWindowsAreRefusedAndRecordNoTask)
{
    const std::wstring refused[] = {
        L"..\\escape.bin", L"../escape.bin", L"sub\\..\\..\\escape.bin", L"..", L".", L"...",
        L"C:escape.bin", L"\\escape.bin", L"/escape.bin", L"\\\\127.0.0.1\\share\\x.bin",
        L"\\\\?\\C:\\x.bin", L"x.bin:stream", L"x.bin::$DATA", L"x.bin.", L"x.bin ",
        L"sub.\\x.bin", L"sub \\x.bin", L"NUL", L"nul.txt", L"COM1.bin", L"sub\\LPT1", L"lpt9",
        L"con .txt", L"aux.tar.gz", L"CONOUT$", L"COM\u00B9", L"a<b", L"a?b", L"a\tb"};
    // Names close to those above that stay inside and name exactly what they say.
    const std::pair<std::wstring, std::string> accepted[] = {
        {L"plain.bin", "plain.bin"},
        {L"sub\\inner.bin", "sub/inner.bin"},
        {L"sub/slash.bin", "sub/slash.bin"},
        {L"nul_file.bin", "nul_file.bin"},
        {L"com10.bin", "com10.bin"},
        {L"..dots.bin", "..dots.bin"},
        {L"\u4E2D\u6587.bin", "\u4E2D\u6587.bin"},
    };
    ASSERT_TRUE(::CreateDirectoryW(m_app.Path(L"Downloads").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(m_app.Path(L"Downloads\\sub").c_str(), nullptr));
    const std::string url = Url("file", 4096);
    std::string script = "var ended = 0;"
                         "function OnDownloadProgress(s, h, l, v) {"
                         "  if (s == 1) return;"
                         "  print('end ' + h + ' ' + l + ' ' + s);"
                         "  if (++ended == " + std::to_string(std::size(accepted)) + ") exit(0);"
                         "}"
                         "external.SetCallBack(document);";
    // A refused name records no task: PauseDownload knows no such id.
    for (size_t i = 0; i < std::size(refused); ++i) {
        const std::string id = "2, " + std::to_string(i);
        script += "print(external.DownloadFile(" + url + ", " + test::JsString(refused[i]) + ", " +
                  id + ") + ' ' + external.PauseDownload(" + id + "));";
    }
    for (size_t i = 0; i < std::size(accepted); ++i) {
        script += "print(external.DownloadFile(" + url + ", " + test::JsString(accepted[i].first) +
                  ", 3, " + std::to_string(i) + "));";
    }
    const auto lines = Lines(Run(script));
    ASSERT_EQ(lines.size(), std::size(refused) + 2 * std::size(accepted));
    for (size_t i = 0; i < std::size(refused); ++i)
        EXPECT_EQ(lines[i], "0 0") << "name " << test::Utf8(refused[i]);
    std::set<std::string> ends(lines.begin() + std::size(refused) + std::size(accepted),
                               lines.end());
    std::set<std::string> expectedEnds{};
    std::set<std::string> expectedTree{"Downloads/", "Downloads/sub/"};
    for (size_t i = 0; i < std::size(accepted); ++i) {
        EXPECT_EQ(lines[std::size(refused) + i], "1") << test::Utf8(accepted[i].first);
        expectedEnds.insert("end 3 " + std::to_string(i) + " 2");
        expectedTree.insert("Downloads/" + accepted[i].second);
    }
    EXPECT_EQ(ends, expectedEnds);
    std::set<std::string> tree = test::TreeBelow(m_app.Path());
    tree.erase("pagescript.exe");
    EXPECT_EQ(tree, expectedTree) << "a refused name wrote something";
    EXPECT_EQ(Requests().size(), std::size(accepted)) << "a refused name sent a request";
}

TEST_F(PageDownload, WithoutSetCallBackTheDownloadCompletesAndThePageHearsNothing)
{
    const std::string url = Url("file");
    // Without progress calls the script polls: DownloadFile is refused while the task runs.
    const std::string script =
        "function OnDownloadProgress(s, h, l, v) { print('called ' + s); }"
        "print(external.DownloadFile(" + url + ", 'quiet.bin', 1, 1));"
        "var deadline = new Date().getTime() + 15000, again = 0;"
        "while (again == 0 && new Date().getTime() < deadline)"
        "  again = external.DownloadFile(" + url + ", 'quiet.bin', 1, 1);"
        "print('again ' + again); exit(0);";
    EXPECT_EQ(Run(script), "1\nagain 1\n");
    EXPECT_TRUE(test::ReadFileBytes(Downloaded(L"quiet.bin")) == test::PatternBytes(0, kFileSize));
}

TEST_F(PageDownload, WithoutContentLengthThePageHearsZeroOnceThenTheEnd)
{
    const std::string script = std::string(kPrintEvents) +
        "external.DownloadFile(" + Url("nolength", 15000) + ", 'n.bin', 1, 1);";
    EXPECT_EQ(Run(script), "1 1 1 0\n2 1 1 100\n");
}

TEST_F(PageDownload, FilesOf4GiBAndMoreResumeAndReportTheirPercentage)
{
    // A sparse file of just over 4 GiB stands for the part already downloaded.
    constexpr uint64_t kTotal = (4ull << 30) + 4096;
    constexpr uint64_t kOnDisk = (4ull << 30) + 1000;
    ASSERT_TRUE(::CreateDirectoryW(m_app.Path(L"Downloads").c_str(), nullptr));
    {
        UniqueFile file(::CreateFileW(Downloaded(L"big.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(kOnDisk);
        ASSERT_TRUE(file && ::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN)
                    && ::SetEndOfFile(file.Get()));
    }
    const std::string script = std::string(kPrintEvents) +
        "external.DownloadFile(" + Url("file", kTotal) + ", 'big.bin', 1, 1);";
    const auto lines = Lines(Run(script));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "1 1 1 100");
    EXPECT_EQ(lines.back(), "2 1 1 100");
    for (size_t i = 0; i + 2 < lines.size(); ++i)
        EXPECT_EQ(lines[i], "1 1 1 99") << "a percentage computed from a cut-down size";
    EXPECT_EQ(test::RangeLines(Requests().at(0)),
              std::vector<std::string>{"Range: bytes=" + std::to_string(kOnDisk) + "-\r\n"});

    UniqueFile file(::CreateFileW(Downloaded(L"big.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    ASSERT_TRUE(file && ::GetFileSizeEx(file.Get(), &size));
    EXPECT_EQ(static_cast<uint64_t>(size.QuadPart), kTotal);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(kOnDisk);
    std::string tail(kTotal - kOnDisk, '\0');
    DWORD read = 0;
    ASSERT_TRUE(::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)
                && ::ReadFile(file.Get(), tail.data(), static_cast<DWORD>(tail.size()), &read,
                              nullptr));
    EXPECT_TRUE(read == tail.size() && tail == test::PatternBytes(kOnDisk, kTotal));
}
