// Downloads as a page drives them: page scripts run by pagescript against the real bridge, with
// the page's OnDownloadProgress reached through SetCallBack(document).
#include "tests/support/Files.h"
#include "tests/support/LoopbackServer.h"
#include "base/Unique.h"
#include "tests/support/Process.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string kWhole = test::PatternBytes(0, 40960);

class PageDownload : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(test::Servers().http, 0) << "no loopback servers"; }
    // Runs the script with the test's own folder as the application folder; its output. The
    // script's url('file/40960') is the address of that answer of the loopback server.
    std::string Run(const std::string& script)
    {
        test::PageScriptOptions options;
        options.applicationFolder = m_app.Path();
        const test::ProcessResult result = test::RunPageScript(
            "function url(answer) { return '" + test::Utf8(test::ServerUrl(m_token + "/")) +
                "' + answer; }" + script,
            options);
        EXPECT_EQ(result.exitCode, 0u) << result.output;
        return result.output;
    }
    std::string Downloaded(const std::wstring& name)
    {
        return test::ReadFileBytes(m_app.Path(L"Downloads\\") + name);
    }
    std::vector<std::string> Requests() { return test::RecordedRequests(m_token); }

    test::TempDir m_app;
    std::string m_token = test::UniqueToken();
};

} // namespace

TEST_F(PageDownload, HearsEachTenthOnItsOwnThreadThenOneEndWithTheIdsHalves)
{
    // The application folder has no Downloads folder yet: the first download makes it. The
    // second task, 5 * 2^32 - 1, is heard as 4 and -1, and sends no length: 0 once, then 100.
    // Registering again replaces the registration; the document stays reachable.
    const std::string script = R"(
var ui = threadId(), elsewhere = 0;
function OnDownloadProgress(s, h, l, v) {
  if (threadId() != ui) elsewhere++;
  print(s + ' ' + h + ' ' + l + ' ' + v);
  if (s == 2 && l == 3) {
    print(external.DownloadFile(url('answer/15000/200'), 'n.bin', 5, -1));
  } else if (s != 1) {
    print(external.PauseDownload(5, -1) + ' ' + external.PauseDownload(4, -1));
    print('calls on other threads: ' + elsewhere); exit(0);
  }
}
print(external.SetCallBack(document) + ' ' + external.SetCallBack(document));
print(external.DownloadFile(url('file/40960'), 'progress.bin', 7, 3));)";
    std::string expected = "0 0\n1\n";
    for (int percent = 10; percent <= 100; percent += 10)
        expected += "1 7 3 " + std::to_string(percent) + "\n";
    EXPECT_EQ(Run(script), expected + "2 7 3 100\n1\n1 4 -1 0\n2 4 -1 100\n1 0\n"
                                      "calls on other threads: 0\n");
    EXPECT_TRUE(Downloaded(L"progress.bin") == kWhole);
}

TEST_F(PageDownload, PausedFromItsOwnProgressCallItKeepsItsBytesAndResumesWithTheRest)
{
    // The server sends a piece every 10 ms, so the pause comes while data flows. Paused twice,
    // the task ends once; resumed from inside the paused event, which sees the task paused
    // already, it starts again.
    const std::string script = R"(
var paused = false;
function OnDownloadProgress(s, h, l, v) {
  if (s == 1 && !paused) {
    paused = true;
    print('pause ' + external.PauseDownload(1, 2) + ' ' + external.PauseDownload(1, 2));
  } else if (s == -100) {
    print('paused ' + v);
    print('resume ' + external.DownloadFile(url('file/204800/1'), 'v.bin', 1, 2));
  } else if (s != 1) {
    print('end ' + s + ' ' + v); exit(0);
  }
}
external.SetCallBack(document);
print('start ' + external.DownloadFile(url('file/204800/1?delay=10'), 'v.bin', 1, 2));)";
    EXPECT_EQ(Run(script), "start 1\npause 1 1\npaused 0\nresume 1\nend 2 100\n");
    EXPECT_TRUE(Downloaded(L"v.bin") == test::PatternBytes(0, 204800, 1)) << "bytes were lost";
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    const auto range = test::HeaderLines(requests[1], "Range");
    ASSERT_EQ(range.size(), 1u) << "the resume did not ask for the rest";
    const uint64_t from = std::stoull(range[0].substr(std::string("Range: bytes=").size()));
    EXPECT_TRUE(from > 0 && from < 204800) << range[0];
    EXPECT_EQ(test::HeaderLines(requests[1], "If-Range"),
              std::vector<std::string>{"If-Range: \"v1\"\r\n"});
}

TEST_F(PageDownload, OneTransferPerTaskAndPerFileTasksToldApartByIdAlone)
{
    // Task 1 runs: its id again is refused, and so is task 2 on the file in use; task 3 fetches
    // the same address into another file. Task 2 may try again once the file is free. The ends
    // of tasks 1 and 3 come in either order: they are printed sorted.
    const std::string script = R"(
var ends = [];
function OnDownloadProgress(s, h, l, v) {
  if (s == 1) return;
  ends.push(l + ' ended ' + s);
  if (l == 1) ends.push('retry ' + external.DownloadFile(url('file/40960'), 'same.bin', 1, 2));
  if (ends.length == 4) { print(ends.sort().join(', ')); exit(0); }
}
external.SetCallBack(document);
var slow = url('file/40960?delay=10');
print(external.DownloadFile(slow, 'same.bin', 1, 1) + ' '
      + external.DownloadFile(slow, 'same.bin', 1, 1) + ' '
      + external.DownloadFile(url('file/40960'), 'same.bin', 1, 2) + ' '
      + external.DownloadFile(slow, 'other.bin', 1, 3));)";
    EXPECT_EQ(Run(script), "1 0 0 1\n1 ended 2, 2 ended 2, 3 ended 2, retry 1\n");
    EXPECT_TRUE(Downloaded(L"same.bin") == kWhole && Downloaded(L"other.bin") == kWhole);
    EXPECT_EQ(Requests().size(), 3u);
}

TEST_F(PageDownload, BadAddressesFailDuringTheCallAndNoPageIsNeededForADownload)
{
    // Without SetCallBack, and with a page that has no OnDownloadProgress yet, a download
    // completes; the script polls (from timers: a page busy in a loop would hold up the progress
    // calls, which run on its thread), as DownloadFile is refused while the task runs. Objects
    // that are no document leave the registration as it was, and a function defined late is
    // found: the failed event of a bad address reaches it before DownloadFile returns. A file
    // that cannot be opened (no name, a folder that does not exist) starts nothing.
    const std::string script = R"(
function again(name, low, then) {
  if (!external.DownloadFile(url('file/40960'), name, 9, low))
    return setTimeout(function () { again(name, low, then); }, 20);
  print(name + ' again');
  then();
}
print(external.DownloadFile(url('file/40960'), 'quiet.bin', 9, 9));
again('quiet.bin', 9, function () {
  print([external.SetCallBack(document), external.SetCallBack({}), external.SetCallBack(external)]);
  print(external.DownloadFile(url('file/40960'), 'late.bin', 9, 8));
  again('late.bin', 8, failBadAddresses);
});
function failBadAddresses() {
  window.OnDownloadProgress = function (s, h, l, v) {
    if (h != 9) print(s + ' ' + h + ' ' + l + ' ' + v); };
  var bad = ['', 'ftp://127.0.0.1/x', 'http:///x', 'http://' + new Array(300).join('h') + '/x'];
  for (var i = 0; i < bad.length; i++)
    print('returned ' + external.DownloadFile(bad[i], 'bad.bin', 1, i));
  print('again ' + external.DownloadFile('', 'bad.bin', 1, 0));
  print(external.DownloadFile(url('file/40960'), '', 2, 1) + ' '
        + external.DownloadFile(url('file/40960'), 'missing\\x.bin', 2, 2));
  exit(0);
})";
    std::string expected = "1\nquiet.bin again\n0,0,0\n1\nlate.bin again\n";
    for (int i = 0; i < 4; ++i)
        expected += "-1 1 " + std::to_string(i) + " 0\nreturned 1\n";
    EXPECT_EQ(Run(script), expected + "-1 1 0 0\nagain 1\n0 0\n");
    EXPECT_TRUE(Downloaded(L"quiet.bin") == kWhole && Downloaded(L"late.bin") == kWhole);
    EXPECT_EQ(Requests().size(), 4u) << "a request went out for a file that cannot be opened";
    EXPECT_EQ(test::TreeBelow(m_app.Path()),
              (std::set<std::string>{"Downloads/", "Downloads/quiet.bin", "Downloads/late.bin",
                                     "pagescript.exe"}))
        << "a bad address left a file";
}

TEST_F(PageDownload, NamesThatLeaveTheFolderOrMisleadWindowsAreRefusedAndRecordNoTask)
{
    // A refused name records no task: PauseDownload knows no such id. The names accepted are
    // close to those refused, stay inside and name exactly what they say.
    const std::string script = R"(
var refused = ['..\\escape.bin', '../escape.bin', 'sub\\..\\..\\escape.bin', '...', 'C:escape.bin',
  '\\escape.bin', '/escape.bin', '\\\\127.0.0.1\\share\\x.bin', 'x.bin:stream', 'x.bin.', 'x.bin ',
  'sub \\x.bin', 'nul.txt', 'sub\\LPT1', 'lpt9', 'con .txt', 'aux.tar.gz', 'CONOUT$', 'COM\u00B9',
  'a<b', 'a?b', 'a\tb'];
var accepted = ['plain.bin', 'sub\\inner.bin', 'sub/slash.bin', 'nul_file.bin', 'com10.bin',
  '..dots.bin', '\u4E2D\u6587.bin'];
var ended = 0;
function OnDownloadProgress(s, h, l, v) { if (s != 1 && ++ended == accepted.length) exit(0); }
external.SetCallBack(document);
for (var i = 0; i < refused.length; i++)
  if (external.DownloadFile(url('file/4096'), refused[i], 2, i) || external.PauseDownload(2, i))
    print('not refused: ' + refused[i]);
for (var i = 0; i < accepted.length; i++)
  print(external.DownloadFile(url('file/4096'), accepted[i], 3, i));)";
    ASSERT_TRUE(::CreateDirectoryW(m_app.Path(L"Downloads").c_str(), nullptr) &&
                ::CreateDirectoryW(m_app.Path(L"Downloads\\sub").c_str(), nullptr));
    EXPECT_EQ(Run(script), "1\n1\n1\n1\n1\n1\n1\n");
    EXPECT_EQ(test::TreeBelow(m_app.Path()),
              (std::set<std::string>{"pagescript.exe", "Downloads/", "Downloads/sub/",
                                     "Downloads/plain.bin", "Downloads/sub/inner.bin",
                                     "Downloads/sub/slash.bin", "Downloads/nul_file.bin",
                                     "Downloads/com10.bin", "Downloads/..dots.bin",
                                     "Downloads/中文.bin"}))
        << "a refused name wrote something, or an accepted one named another file";
    EXPECT_EQ(Requests().size(), 7u) << "a refused name sent a request";
}

TEST_F(PageDownload, FilesOf4GiBAndMoreResumeAndReportTheirPercentage)
{
    // A sparse file of just over 4 GiB stands for the part already downloaded.
    constexpr uint64_t kTotal = (4ull << 30) + 40960, kOnDisk = (4ull << 30) + 1000;
    const std::filesystem::path path = m_app.Path(L"Downloads\\big.bin");
    ASSERT_TRUE(std::filesystem::create_directory(path.parent_path()));
    std::ofstream(path).close();
    std::filesystem::resize_file(path, kOnDisk);
    const std::string output =
        Run("function OnDownloadProgress(s, h, l, v) {"
            "  print(s + ' ' + h + ' ' + l + ' ' + v); if (s != 1) exit(0); }"
            "external.SetCallBack(document); external.DownloadFile(url('file/" +
            std::to_string(kTotal) + "'), 'big.bin', 1, 1);");
    // The rest comes in several pieces: 99 % before the last, a percentage of sizes cut to 32
    // bits never.
    EXPECT_EQ(output, "1 1 1 99\n1 1 1 100\n2 1 1 100\n");
    EXPECT_EQ(test::HeaderLines(Requests().at(0), "Range"),
              std::vector<std::string>{"Range: bytes=" + std::to_string(kOnDisk) + "-\r\n"});
    EXPECT_EQ(std::filesystem::file_size(path), kTotal);
    std::ifstream file(path, std::ios::binary);
    std::string tail(kTotal - kOnDisk, '\0');
    file.seekg(std::streamoff(kOnDisk)).read(tail.data(), std::streamsize(tail.size()));
    EXPECT_TRUE(file && tail == test::PatternBytes(kOnDisk, kTotal)) << "the rest is not in place";
}

TEST_F(PageDownload, AResumeInALaterRunNamesTheVersionRecordedUnlessTheFileChangedSince)
{
    // Paused in one run of the tool, resumed in the next, the server's build (1 or 2) given in
    // between, and the file left alone or changed by someone else meanwhile.
    enum Change { None, Time, Size };
    const struct {
        const char* name;
        unsigned build;
        Change change;
        const char* ifRange; // what the resume sends
    } cases[] = {
        {"the same build", 1, None, "If-Range: \"v1\"\r\n"},
        {"a new build at the same address", 2, None, "If-Range: \"v1\"\r\n"},
        {"the file's time changed", 1, Time, ""},
        {"the file cut short, its time kept", 1, Size, ""},
    };
    const std::wstring file = m_app.Path(L"Downloads\\game.bin");
    const std::wstring given = test::ServerFolder() + L"given\\";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_token = test::UniqueToken();
        ::DeleteFileW(file.c_str());
        ASSERT_TRUE(test::WriteFileBytes(given + test::Wide(m_token), "1"));
        EXPECT_EQ(Run(R"(
function OnDownloadProgress(s, h, l, v) {
  if (s == 1) external.PauseDownload(1, 1); else { print(s); exit(0); } }
external.SetCallBack(document);
external.DownloadFile(url('build/204800?delay=10'), 'game.bin', 1, 1);)"),
                  "-100\n");
        const std::string paused = test::ReadFileBytes(file);
        EXPECT_EQ(test::TreeBelow(m_app.Path(L"DownloadRecords\\")).size(), 1u)
            << "no record, or more than one";
        if (c.change != None) {
            // Cut short with its time kept, or its time moved on with its bytes kept.
            const UniqueFile handle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
            FILETIME time{};
            ASSERT_TRUE(::GetFileTime(handle.Get(), nullptr, nullptr, &time));
            LARGE_INTEGER cut{{1000, 0}};
            if (c.change == Size)
                ASSERT_TRUE(::SetFilePointerEx(handle.Get(), cut, nullptr, FILE_BEGIN) &&
                            ::SetEndOfFile(handle.Get()));
            else
                time.dwHighDateTime += 1; // about seven minutes on
            ASSERT_TRUE(::SetFileTime(handle.Get(), nullptr, nullptr, &time));
        }
        const size_t onDisk = test::ReadFileBytes(file).size();
        ASSERT_TRUE(test::WriteFileBytes(given + test::Wide(m_token), std::to_string(c.build)));
        EXPECT_EQ(Run(R"(
function OnDownloadProgress(s, h, l, v) { if (s != 1) { print(s); exit(0); } }
external.SetCallBack(document);
external.DownloadFile(url('build/204800'), 'game.bin', 1, 1);)"),
                  "2\n");
        EXPECT_TRUE(test::ReadFileBytes(file) == test::PatternBytes(0, 204800, c.build))
            << "the file is not the server's build whole";
        const auto requests = Requests();
        ASSERT_EQ(requests.size(), 2u);
        std::string sent;
        for (const char* name : {"Range", "If-Range"})
            for (const std::string& line : test::HeaderLines(requests[1], name))
                sent += line;
        EXPECT_EQ(sent, "Range: bytes=" + std::to_string(onDisk) + "-\r\n" + c.ifRange);
        EXPECT_EQ(test::TreeBelow(m_app.Path(L"DownloadRecords\\")).size(), 1u)
            << "the finished download's record went, or another came";
    }
}

TEST_F(PageDownload, NamesThroughALinkInsideDownloadsAreRefusedThoughDownloadsMayBeOne)
{
    // Windows code cannot make links here: Linux's ln makes them, and rm takes them away, as
    // Windows calls would follow them. Wine starts a Linux program given by its path, without
    // a handle to wait on (nor with the null standard handles of test::StartProcess), so what
    // it did is waited for.
    const auto linux = [&](std::wstring command, const wchar_t* link, DWORD attributes) {
        command.insert(0, L"Z:\\bin\\");
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        return ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                m_app.Path().c_str(), &startup, &info) &&
               test::WaitUntil(
                   [&] { return ::GetFileAttributesW(m_app.Path(link).c_str()) == attributes; },
                   10000);
    };
    constexpr DWORD kLinkedFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    ASSERT_TRUE(::CreateDirectoryW(m_app.Path(L"real").c_str(), nullptr) &&
                ::CreateDirectoryW(m_app.Path(L"outside").c_str(), nullptr));
    ASSERT_TRUE(linux(L"ln -s real Downloads", L"Downloads", kLinkedFolder) &&
                linux(L"ln -s ../outside real/linked", L"real\\linked", kLinkedFolder));
    struct Unlink {
        decltype(linux)& run;
        ~Unlink()
        {
            (void)run(L"rm real/linked", L"real\\linked", INVALID_FILE_ATTRIBUTES);
            (void)run(L"rm Downloads", L"Downloads", INVALID_FILE_ATTRIBUTES);
        }
    } unlink{linux};
    EXPECT_EQ(Run(R"(
function OnDownloadProgress(s, h, l, v) { if (s != 1) { print('end ' + s); exit(0); } }
external.SetCallBack(document);
print(external.DownloadFile(url('file/4096'), 'linked\\x.bin', 1, 1) + ' '
      + external.DownloadFile(url('file/4096'), 'linked/x.bin', 1, 2) + ' '
      + external.DownloadFile(url('file/4096'), 'LINKED', 1, 3) + ' '
      + external.PauseDownload(1, 1));
print(external.DownloadFile(url('file/4096'), 'plain.bin', 1, 4));)"),
              "0 0 0 0\n1\nend 2\n");
    EXPECT_EQ(test::TreeBelow(m_app.Path(L"outside\\")), std::set<std::string>{})
        << "a file was written through the link";
    EXPECT_TRUE(test::ReadFileBytes(m_app.Path(L"real\\plain.bin")) == test::PatternBytes(0, 4096));
    EXPECT_EQ(Requests().size(), 1u) << "a refused name sent a request";
}

TEST_F(PageDownload, ALargeFileIsHeardAsOneTaskOverTheConnectionsConfigIniAllows)
{
    // 16 MiB of version 1: over several connections unless config.ini says 1, which it reads as
    // each download starts (the last row's page writes it between two downloads). The page hears
    // the whole file's percentage rising, then one end.
    const struct {
        const char* name;
        const char* config; // nothing: no config.ini
        const char* between; // the page's script between two downloads, if it downloads twice
        bool oneRequest;     // for the last download
    } cases[] = {
        {"no config.ini", nullptr, nullptr, false},
        {"one connection", "[download]\r\nconnections=1\r\n", nullptr, true},
        {"one connection from the page", nullptr,
         "external.SetConfigString('download', 'connections', '1', "
         "external.GetAppPath() + 'config.ini');",
         true},
    };
    constexpr uint64_t kSize = 16 << 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(m_app.Path(L"Downloads\\big.bin").c_str());
        ::DeleteFileW(m_app.Path(L"config.ini").c_str());
        ASSERT_TRUE(!c.config || test::WriteFileBytes(m_app.Path(L"config.ini"), c.config));
        m_token = test::UniqueToken();
        std::istringstream heard(Run(std::string(R"(
var again = )") + (c.between ? "true" : "false") + R"(;
function OnDownloadProgress(s, h, l, v) {
  if (s == 1 && !again) print(s + ' ' + v);
  if (s == 1) return;
  if (!again) { print(s + ' ' + v); exit(0); }
  again = false;
  )" + (c.between ? c.between : "") + R"(
  external.DownloadFile(url('file/16777216/1'), 'again.bin', 1, 2);
}
external.SetCallBack(document);
external.DownloadFile(url('file/16777216/1'), 'big.bin', 1, 1);)"));
        int last = -1;
        std::string line;
        while (std::getline(heard, line) && line.rfind("1 ", 0) == 0) {
            EXPECT_GT(std::stoi(line.substr(2)), last) << "heard again or out of order";
            last = std::stoi(line.substr(2));
        }
        EXPECT_EQ(last, 100);
        EXPECT_EQ(line, "2 100");
        EXPECT_FALSE(std::getline(heard, line)) << "heard after the end: " << line;
        EXPECT_TRUE(Downloaded(c.between ? L"again.bin" : L"big.bin") ==
                    test::PatternBytes(0, kSize, 1));
        // The last download's requests: those after the first of its file.
        auto requests = Requests();
        if (c.between) {
            ASSERT_GT(requests.size(), 2u) << "the first download came over one connection";
            requests.erase(requests.begin(),
                           std::find_if(requests.begin() + 1, requests.end(), [](auto& r) {
                               return test::HeaderLines(r, "Range").empty();
                           }));
        }
        EXPECT_EQ(requests.size() == 1, c.oneRequest) << requests.size() << " requests";
        for (size_t i = 1; i < requests.size(); ++i)
            EXPECT_EQ(test::HeaderLines(requests[i], "If-Range"),
                      std::vector<std::string>{"If-Range: \"v1\"\r\n"});
    }
}
