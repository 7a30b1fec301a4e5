// The update: which files may start as the updater, its fetch, and the sequence from the page's
// notice or the command to the quit, against the loopback server and the programs signed for
// the run (tests/support/make-signed-programs).
#include "app/UpdaterFetch.h"
#include "app/UpdaterTrust.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Wait.h"
#include "web/HostMessages.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace test;
using app::FetchResult;
using app::UpdaterVerdict;

namespace {

std::wstring Signed(const wchar_t* name) { return ProgramPath(L"signed\\") + name; }
std::string Bytes(const std::wstring& path) { return ReadFileBytes(path); }

// An answer of the loopback server under a token of its own, what it serves whole, and whether
// only a short limit ends it.
struct Source {
    std::string token, bytes;
    std::wstring url;
    bool slow;
};

Source Answer(const std::string& mode, uint64_t size = 0, int64_t extra = -1)
{
    const std::string token = UniqueToken();
    return {token, {}, CaseUrl(token, mode, size, extra), mode == "stall" || mode == "trickle"};
}

Source Serve(const std::string& bytes)
{
    Source source = Answer("given");
    EXPECT_TRUE(GiveFile(source.token, source.bytes = bytes));
    return source;
}

} // namespace

TEST(UpdaterTrust, StartsOnlyWhatTheToolsSignatureAllows)
{
    TempDir dir;
    const std::wstring self = Signed(L"quib-a.exe"), build = ProgramPath(L"QUIB.exe"),
                       a = Signed(L"updater-a.exe"), b = Signed(L"updater-b.exe"),
                       changed = Signed(L"updater-a-changed.exe"), page = Signed(L"page.html"),
                       plain = Signed(L"updater-unsigned.exe");
    const std::string program = Bytes(plain);
    ASSERT_GT(program.size(), 100000u) << "the signed programs are missing";
    std::string arm64 = program; // its PE header's machine field changed
    arm64.replace(*reinterpret_cast<const uint32_t*>(&program[0x3C]) + 4, 2, "\x64\xAA");
    // Half the stand-in's bytes end within its sections (its debug sections reach far).
    ASSERT_TRUE(WriteFileBytes(dir.Path(L"cut.exe"), program.substr(0, program.size() / 2)));
    ASSERT_TRUE(WriteFileBytes(dir.Path(L"arm64.exe"), arm64));
    ASSERT_TRUE(WriteFileBytes(dir.Path(L"empty.exe"), ""));
    for (const auto& [what, tool, updater, expected] : {
             std::tuple{"signed tool, same subject", self, a, UpdaterVerdict::Accepted},
             {"signed tool, another subject", self, b, UpdaterVerdict::OtherPublisher},
             {"signed tool, a byte changed", self, changed, UpdaterVerdict::BadSignature},
             {"signed tool, unsigned updater", self, plain, UpdaterVerdict::Unsigned},
             {"signed tool, a web page", self, page, UpdaterVerdict::NotAProgram},
             // The tool's own signature only names the maker: an expired one must still do.
             {"tool whose signature no longer verifies", changed, a, UpdaterVerdict::Accepted},
             {"unsigned tool, x64", build, plain, UpdaterVerdict::Accepted},
             {"unsigned tool, x86", build, Signed(L"program-x86.exe"), UpdaterVerdict::Accepted},
             {"unsigned tool, signed program", build, b, UpdaterVerdict::Accepted},
             {"unsigned tool, a web page", build, page, UpdaterVerdict::NotAProgram},
             {"5 bytes", build, Signed(L"five-bytes.exe"), UpdaterVerdict::NotAProgram},
             {"empty", build, dir.Path(L"empty.exe"), UpdaterVerdict::NotAProgram},
             {"cut off", build, dir.Path(L"cut.exe"), UpdaterVerdict::NotAProgram},
             {"ARM64", build, dir.Path(L"arm64.exe"), UpdaterVerdict::NotAProgram},
             {"no file", build, dir.Path(L"missing.exe"), UpdaterVerdict::NotAProgram},
             {"the tool's file unreadable", dir.Path(L"gone.exe"), a, UpdaterVerdict::UnknownTool},
         })
        EXPECT_EQ(app::VerifyUpdater(tool, updater), expected) << what;
}

TEST(UpdaterFetch, ReportsWhyAFetchFailedAndKeepsWhatWasThere)
{
    ASSERT_NE(Servers().http, 0) << "the loopback servers are not running";
    const std::string token = UniqueToken();
    const auto url = [&](const char* mode, uint64_t size, int64_t extra = -1) {
        return CaseUrl(token, mode, size, extra);
    };
    TempDir dir;
    const std::wstring target = dir.Path(L"ZantoVkUpdate.exe");
    ASSERT_TRUE(WriteFileBytes(target, "the updater that was there"));
    const app::FetchedFileCheck any = [](const std::wstring&) { return true; };
    // A stall or a trickle holds the fetch for as long as the server goes on unless a limit
    // ends it: each of these ends it at once by one limit alone.
    const app::FetchLimits all, waits{300, 600'000, all.maxBytes}, whole{600'000, 500, ~0ull};
    using R = FetchResult;
    for (const auto& [what, address, limits, expected] : {
             std::tuple{"404", url("status", 0, 404), all, R::BadStatus},
             {"206", url("status", 0, 206), all, R::BadStatus},
             {"cut off", url("drop", 10, 5), all, R::Incomplete},
             {"no length", url("nolength", 5), all, R::Incomplete},
             // Under Wine a body that lost its last chunk reads as cleanly as a whole one.
             {"chunks without the last", url("chunked", 5000, 0), all, R::Incomplete},
             {"empty", url("file", 0), all, R::Incomplete},
             {"no listener", std::wstring(L"http://127.0.0.1:1/"), all, R::NoConnection},
             {"no answer, each wait limited", url("stall", 0), waits, R::TimedOut},
             {"no answer, the whole limited", url("stall", 0), whole, R::TimedOut},
             {"a byte every 300 ms", url("trickle", 100, 300), whole, R::TimedOut},
             {"64 MiB and 1 announced", url("announce", (64 << 20) + 1), all, R::TooLarge},
             {"4 GiB and 1 announced", url("announce", (1ull << 32) + 1), all, R::TooLarge},
         }) {
        EXPECT_EQ(app::FetchUpdater(address, target, any, limits), expected) << what;
        EXPECT_EQ(TreeBelow(dir.Path()), std::set<std::string>{"ZantoVkUpdate.exe"}) << what;
        EXPECT_EQ(Bytes(target), "the updater that was there") << what;
    }
}

TEST_F(MainWindowTest, EveryWayIntoAnUpdateStartsOnlyAPassingUpdaterHiddenAndQuitsOnce)
{
    ASSERT_NE(Servers().http, 0) << "the loopback servers are not running";
    const std::string fake = Bytes(ProgramPath(L"fake_updater.exe")),
                      page = Bytes(Signed(L"page.html"));
    const std::string a = Bytes(Signed(L"updater-a.exe")), b = Bytes(Signed(L"updater-b.exe"));
    const std::wstring updater = m_folder.Path(L"ZantoVkUpdate.exe");
    const std::wstring record = m_folder.Path(L"updater-ran.txt"); // the stand-in's starts
    enum Way { Notice, Cancel, Command }; // the page's notice (OK if it asks), Cancel, command
    // [system] autoupdate, the way, whether the tool is a copy signed by A (or the build),
    // the updater in place beforehand, where it is fetched from, the requests made there and
    // whether the updater starts.
    using Row = std::tuple<const char*, const char*, Way, bool, std::string, Source, size_t, bool>;
    for (const auto& [what, setting, way, signedTool, inPlace, source, requests, started] : {
             Row{"setting 1 asks nothing", "1", Notice, false, {}, Serve(fake), 1, true},
             Row{"OK in the prompt", "0", Notice, false, {}, Serve(fake), 1, true},
             Row{"the command asks nothing", "0", Command, false, {}, Serve(fake), 1, true},
             Row{"Cancel", "0", Cancel, false, {}, Serve(fake), 0, false},
             Row{"no setting asks", nullptr, Cancel, false, {}, Serve(fake), 0, false},
             Row{"01 asks", "01", Cancel, false, {}, Serve(fake), 0, false},
             Row{"2 asks", "2", Cancel, false, {}, Serve(fake), 0, false},
             Row{"passing one in place", "1", Notice, false, fake, Answer("file", 9), 0, true},
             Row{"5 bytes in place", "1", Notice, false, "12345", Serve(fake), 1, true},
             Row{"signed tool, updater A", "0", Notice, true, {}, Serve(a), 1, true},
             Row{"signed tool, updater B", "0", Notice, true, {}, Serve(b), 1, false},
             Row{"signed tool, B in place", "1", Notice, true, b, Answer("status", 0, 404), 1,
                 false},
             Row{"a login page, 200", "0", Notice, false, {}, Serve(page), 1, false},
             Row{"a stall", "1", Notice, false, {}, Answer("stall"), 1, false},
             Row{"a byte every 300 ms",
                 "1",
                 Notice,
                 false,
                 {},
                 Answer("trickle", 99, 300),
                 1,
                 false},
             // It would start were the limits not handed on to the fetch.
             Row{"a byte above the size limit", "1", Notice, false, {}, Serve(a + '\0'), 1, false},
         }) {
        SCOPED_TRACE(what);
        m_toolPath = signedTool ? Signed(L"quib-a.exe") : L"";
        m_updaterLimits = {source.slow ? 300u : 20'000u, source.slow ? 600u : 60'000u, a.size()};
        ASSERT_TRUE(inPlace.empty() || WriteFileBytes(updater, inPlace));
        const std::string config = setting ? std::string("[system]\r\nautoupdate=") + setting : "";
        ASSERT_NE(Open(config + "\r\n", source.url), nullptr);
        // A notice while the first box is up, and one right after the update: the same news.
        bool resent = false;
        BoxAnswerer answerer({{L"更新", way == Cancel ? IDCANCEL : IDOK}}, Whose::ThisProcess, [&] {
            if (!std::exchange(resent, true))
                ::PostMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
        });
        ::SendMessageW(m_hWnd, way == Command ? WM_COMMAND : WM_UPDATE_FOUND, ID_UPDATE_CHECK, 0);
        if (way != Cancel)
            ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
        std::vector<std::wstring> boxes;
        if (way != Command && (!setting || setting != std::string_view("1")))
            boxes.push_back(L"发现服务器有新版本，是否升级？");
        if (way != Cancel && !started)
            boxes.push_back(L"更新工具下载失败!");
        EXPECT_EQ(answerer.Texts(), boxes);
        for (const auto& box : answerer.Seen())
            EXPECT_EQ(box.owner, m_hWnd);
        EXPECT_EQ(TakeQuitMessage(), way == Cancel ? -1 : 0);
        EXPECT_EQ(TakeQuitMessage(), -1) << "a second quit";
        EXPECT_EQ(RecordedRequestLines(source.token).size(), requests);
        EXPECT_EQ(Bytes(updater), started && requests ? source.bytes : inPlace);
        // A started updater holds its file until it has written its record and ended; a file
        // that can be deleted at once, with no record beside it, was never started.
        (void)WaitUntil([&] { return !started || !Bytes(record).empty(); }, 10000);
        (void)WaitUntil([&] { return !FileExists(updater) || ::DeleteFileW(updater.c_str()); },
                        10000);
        EXPECT_EQ(Bytes(record), started ? "show=0\r\n" : "") << "hidden, once";
        ::DeleteFileW(record.c_str());
        EXPECT_EQ(TreeBelow(m_folder.Path()), std::set<std::string>{"config.ini"})
            << "neither a temporary file nor a refused updater may stay";
        Close();
    }
}
