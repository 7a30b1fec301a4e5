// The update: which files may start as the updater, its fetch, and the whole sequence from the
// page's notice or the command to the quit, against the loopback server and programs signed for
// the run (tests/support/make-signed-programs).
#include "app/UpdaterFetch.h"
#include "app/UpdaterTrust.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Wait.h"
#include "web/HostMessages.h"

#include <gtest/gtest.h>

using app::FetchResult;
using app::UpdaterVerdict;

namespace {

std::wstring Signed(const wchar_t* name) { return test::ProgramPath(L"signed\\") + name; }
std::string Bytes(const std::wstring& path) { return test::ReadFileBytes(path); }

// An answer of the loopback server under a token of its own; `slow` when only a short limit
// ends it.
struct Source {
    std::string token;
    std::wstring url;
    std::string bytes; // what it serves whole, if anything
    bool slow = false;
};

Source Answer(const std::string& mode, uint64_t size = 0, int64_t extra = -1)
{
    const std::string token = test::UniqueToken();
    return {
        token, test::CaseUrl(token, mode, size, extra), {}, mode == "stall" || mode == "trickle"};
}

Source Serve(const std::string& bytes)
{
    Source source = Answer("given");
    EXPECT_TRUE(test::GiveFile(source.token, bytes));
    source.bytes = bytes;
    return source;
}

} // namespace

TEST(UpdaterTrust, StartsOnlyWhatTheToolsSignatureAllows)
{
    test::TempDir dir;
    const std::string program = Bytes(Signed(L"updater-unsigned.exe"));
    ASSERT_GT(program.size(), 100000u) << "the signed programs are missing";
    std::string arm64 = program; // the machine field of the PE header
    arm64.replace(size_t(*reinterpret_cast<const uint32_t*>(&program[0x3C])) + 4, 2, "\x64\xAA");
    // Half the stand-in's bytes end within its sections (its debug sections reach far).
    ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"cut.exe"), program.substr(0, program.size() / 2)));
    ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"arm64.exe"), arm64));
    ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"empty.exe"), ""));
    const std::wstring self = Signed(L"quib-a.exe"), build = test::ProgramPath(L"QUIB.exe");
    const std::wstring a = Signed(L"updater-a.exe"), b = Signed(L"updater-b.exe");
    const std::wstring changed = Signed(L"updater-a-changed.exe"), page = Signed(L"page.html");
    const std::wstring plain = Signed(L"updater-unsigned.exe");
    const struct {
        const char* what;
        std::wstring tool, updater;
        UpdaterVerdict expected;
    } cases[] = {
        {"signed tool, same subject", self, a, UpdaterVerdict::Accepted},
        {"signed tool, another subject", self, b, UpdaterVerdict::OtherPublisher},
        {"signed tool, a byte changed", self, changed, UpdaterVerdict::BadSignature},
        {"signed tool, unsigned updater", self, plain, UpdaterVerdict::Unsigned},
        {"signed tool, a web page", self, page, UpdaterVerdict::NotAProgram},
        // The tool's own signature only names the maker: an expired one must still do.
        {"tool whose signature no longer verifies", changed, a, UpdaterVerdict::Accepted},
        {"unsigned tool, x64 program", build, plain, UpdaterVerdict::Accepted},
        {"unsigned tool, x86 program", build, Signed(L"program-x86.exe"), UpdaterVerdict::Accepted},
        {"unsigned tool, signed program", build, b, UpdaterVerdict::Accepted},
        {"unsigned tool, a web page", build, page, UpdaterVerdict::NotAProgram},
        {"5 bytes", build, Signed(L"five-bytes.exe"), UpdaterVerdict::NotAProgram},
        {"empty", build, dir.Path(L"empty.exe"), UpdaterVerdict::NotAProgram},
        {"cut off", build, dir.Path(L"cut.exe"), UpdaterVerdict::NotAProgram},
        {"ARM64", build, dir.Path(L"arm64.exe"), UpdaterVerdict::NotAProgram},
        {"no file", build, dir.Path(L"missing.exe"), UpdaterVerdict::NotAProgram},
        {"the tool's file cannot be read", dir.Path(L"gone.exe"), a, UpdaterVerdict::UnknownTool},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::VerifyUpdater(c.tool, c.updater), c.expected) << c.what;
}

TEST(UpdaterFetch, ReportsWhyAFetchFailedAndKeepsWhatWasThere)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    const std::string token = test::UniqueToken();
    const auto url = [&](const char* mode, uint64_t size, int64_t extra = -1) {
        return test::CaseUrl(token, mode, size, extra);
    };
    test::TempDir dir;
    const std::wstring target = dir.Path(L"ZantoVkUpdate.exe");
    ASSERT_TRUE(test::WriteFileBytes(target, "the updater that was there"));
    // A stall or a trickle holds the fetch for as long as the server goes on unless a limit
    // ends it: each of these ends it at once by one limit alone.
    const app::FetchLimits all, waits{300, 600'000, all.maxBytes},
        whole{600'000, 800, all.maxBytes};
    const struct {
        const char* what;
        std::wstring url;
        app::FetchLimits limits;
        FetchResult expected;
    } cases[] = {
        {"404", url("status", 0, 404), all, FetchResult::BadStatus},
        {"206", url("status", 0, 206), all, FetchResult::BadStatus},
        {"cut off", url("drop", 10, 5), all, FetchResult::Incomplete},
        {"no length", url("nolength", 5), all, FetchResult::Incomplete},
        // Under Wine a body that lost its last chunk reads as cleanly as a whole one.
        {"chunks without the last", url("chunked", 5000, 0), all, FetchResult::Incomplete},
        {"empty", url("file", 0), all, FetchResult::Incomplete},
        {"ftp", L"ftp://127.0.0.1/u.exe", all, FetchResult::BadAddress},
        {"no address", L"not an address", all, FetchResult::BadAddress},
        {"nothing listens", L"http://127.0.0.1:1/u.exe", all, FetchResult::NoConnection},
        {"no answer, each wait limited", url("stall", 0), waits, FetchResult::TimedOut},
        {"no answer, the whole limited", url("stall", 0), whole, FetchResult::TimedOut},
        {"a byte every 300 ms", url("trickle", 100, 300), whole, FetchResult::TimedOut},
        {"64 MiB and 1 announced", url("announce", (64 << 20) + 1), all, FetchResult::TooLarge},
        {"4 GiB and 1 announced", url("announce", (1ull << 32) + 1), all, FetchResult::TooLarge},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::FetchUpdater(
                      c.url, target, [](auto&) { return true; }, c.limits),
                  c.expected)
            << c.what;
        EXPECT_EQ(test::TreeBelow(dir.Path()), std::set<std::string>{"ZantoVkUpdate.exe"})
            << c.what;
        EXPECT_EQ(Bytes(target), "the updater that was there") << c.what;
    }
}

class SelfUpdateTest : public test::MainWindowTest {
protected:
    std::wstring Updater() const { return m_folder.Path(L"ZantoVkUpdate.exe"); }
    std::wstring Record() const { return m_folder.Path(L"updater-ran.txt"); }
    // The stand-in updater's record of its starts, once it has ended (it holds its file until
    // then); updater and record are taken away. A file that can be deleted at once, with no
    // record beside it, was never started.
    std::string UpdaterRuns(bool started) const
    {
        (void)test::WaitUntil([&] { return !started || !Bytes(Record()).empty(); }, 10000);
        (void)test::WaitUntil(
            [&] { return !test::FileExists(Updater()) || ::DeleteFileW(Updater().c_str()); },
            10000);
        const std::string record = Bytes(Record());
        ::DeleteFileW(Record().c_str());
        return record;
    }
};

TEST_F(SelfUpdateTest, EveryWayIntoAnUpdateStartsOnlyAPassingUpdaterHiddenAndQuitsOnce)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    const std::string fake = Bytes(test::ProgramPath(L"fake_updater.exe"));
    const std::string a = Bytes(Signed(L"updater-a.exe")), b = Bytes(Signed(L"updater-b.exe"));
    struct Way {
        const char* setting; // [system] autoupdate, or none
        bool command;        // the update command, or the page's notice (sent twice)
        int answer;          // to the prompt, 0 when none may appear
    };
    const Way automatic{"1", false, 0}, ok{"0", false, IDOK};
    const struct {
        const char* what;
        Way way;
        bool signedTool;     // a copy of the tool signed by A, or the build
        std::string inPlace; // the updater in the folder beforehand
        Source source;
        size_t requests;
        bool started;
    } cases[] = {
        {"setting 1 asks nothing", automatic, false, {}, Serve(fake), 1, true},
        {"OK in the prompt", ok, false, {}, Serve(fake), 1, true},
        {"the command asks nothing", {"0", true, 0}, false, {}, Serve(fake), 1, true},
        {"Cancel", {"0", false, IDCANCEL}, false, {}, Serve(fake), 0, false},
        {"no setting asks", {nullptr, false, IDCANCEL}, false, {}, Serve(fake), 0, false},
        {"setting 01 asks", {"01", false, IDCANCEL}, false, {}, Serve(fake), 0, false},
        {"setting 2 asks", {"2", false, IDCANCEL}, false, {}, Serve(fake), 0, false},
        {"a passing updater in place", automatic, false, fake, Answer("file", 100), 0, true},
        {"5 bytes in place", automatic, false, Bytes(Signed(L"five-bytes.exe")), Serve(fake), 1,
         true},
        {"signed tool, updater A", ok, true, {}, Serve(a), 1, true},
        {"signed tool, updater B", ok, true, {}, Serve(b), 1, false},
        {"signed tool, B in place, 404", automatic, true, b, Answer("status", 0, 404), 1, false},
        {"a login page, 200 and its length",
         ok,
         false,
         {},
         Serve(Bytes(Signed(L"page.html"))),
         1,
         false},
        {"a server that never answers", automatic, false, {}, Answer("stall"), 1, false},
        {"a byte every 300 ms", automatic, false, {}, Answer("trickle", 100, 300), 1, false},
        // It would start were the limits not handed on to the fetch.
        {"a byte above the size limit", automatic, false, {}, Serve(a + '\0'), 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_toolPath = c.signedTool ? Signed(L"quib-a.exe") : L"";
        m_updaterLimits = {c.source.slow ? 300u : 20'000u, c.source.slow ? 600u : 60'000u,
                           a.size()};
        ASSERT_TRUE(c.inPlace.empty() || test::WriteFileBytes(Updater(), c.inPlace));
        const char* setting = c.way.setting;
        ASSERT_NE(Open(setting ? std::string("[system]\r\nautoupdate=") + setting + "\r\n"
                               : "[quibver]\r\nversion=2.1\r\n",
                       c.source.url),
                  nullptr);
        // Each box gets a second notice while it is up, and the update a second one right
        // after: both are the same news again.
        bool resent = false;
        LRESULT nested = 1;
        test::BoxAnswerer answerer(
            {{L"更新", c.way.answer ? c.way.answer : IDOK}}, test::Whose::ThisProcess, [&] {
                DWORD_PTR result = 0;
                if (!std::exchange(resent, true))
                    nested = ::SendMessageTimeoutW(m_hWnd, WM_UPDATE_FOUND, 0, 0, SMTO_NORMAL,
                                                   10000, &result);
            });
        ::SendMessageW(m_hWnd, c.way.command ? WM_COMMAND : WM_UPDATE_FOUND, ID_UPDATE_CHECK, 0);
        if (c.way.answer != IDCANCEL)
            ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
        std::vector<std::wstring> boxes;
        if (c.way.answer)
            boxes.push_back(L"发现服务器有新版本，是否升级？");
        if (c.way.answer != IDCANCEL && !c.started)
            boxes.push_back(L"更新工具下载失败!");
        EXPECT_EQ(answerer.Texts(), boxes);
        EXPECT_NE(nested, 0) << "a notice during a box was not handled at once";
        for (const auto& box : answerer.Seen())
            EXPECT_EQ(box.owner, m_hWnd);
        EXPECT_EQ(test::TakeQuitMessage(), c.way.answer == IDCANCEL ? -1 : 0);
        EXPECT_EQ(test::TakeQuitMessage(), -1) << "a second quit";
        EXPECT_EQ(test::RecordedRequestLines(c.source.token).size(), c.requests);
        EXPECT_EQ(Bytes(Updater()), c.started && c.requests ? c.source.bytes : c.inPlace);
        EXPECT_EQ(UpdaterRuns(c.started), c.started ? "show=0\r\n" : "") << "hidden, once";
        EXPECT_EQ(test::TreeBelow(m_folder.Path()), std::set<std::string>{"config.ini"})
            << "neither a temporary file nor a refused updater may stay";
        Close();
    }
}
