// The transfer engine against the loopback servers and nginx: for every kind of answer, what the
// request asked for, which events came back, what the file holds and which version is recorded.
#include "download/DownloadTasks.h"
#include "download/HttpTransfer.h"
#include "tests/support/Files.h"
#include "tests/support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using download::DownloadRecord;
using download::FileVersion;
using download::ResumeValidator;

// The events of the one transfer running (the task g_task): its first progress event, as
// "offset/total", then every end event's code, e.g. "1000/40960 2". A transfer's events come one
// after another, the end last, and the next transfer starts only after it: no lock is needed.
// The task asks for a pause once the file and its parts hold g_pauseAt bytes.
uint64_t g_task = 0;
std::string g_events;
int32_t g_command = download::kCommandNone;
uint64_t g_pauseAt = UINT64_MAX;
const HANDLE g_ended = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);

void Record(int32_t event, const DOWNLOADINFO& transfer) noexcept
{
    if (transfer.ullTaskId != g_task)
        return;
    if (event != download::kEventProgress) {
        g_events.append(g_events.empty() ? "" : " ").append(std::to_string(event));
        ::SetEvent(g_ended);
        return;
    }
    if (g_events.empty())
        g_events = std::to_string(transfer.ullOffset) + "/" + std::to_string(transfer.ullTotal);
    if (transfer.ullOffset + transfer.ullReceived >= g_pauseAt)
        download::WriteCommand(g_command, download::kCommandPause);
}

std::string Fetch(const std::wstring& url, const std::wstring& path,
                  const DownloadRecord& record = {}, const download::TransferLimits& limits = {},
                  int connections = 1)
{
    g_events.clear();
    g_command = download::kCommandNone;
    TransferOrder order{download::CrackHttpAddress(url), path, record, ++g_task, Record,
                        &g_command, limits, connections};
    if (!StartDownload(std::move(order)))
        return "not started";
    EXPECT_EQ(::WaitForSingleObject(g_ended, 15000), WAIT_OBJECT_0)
        << "no end event within 15 s for " << test::Utf8(url);
    return g_events;
}

// A volume of 1 TiB with all of it free: what the answers announce always fits, unless it is
// more than any volume holds.
bool Roomy(const wchar_t*, uint64_t& available, uint64_t& total) noexcept
{
    available = total = 1ull << 40;
    return true;
}

// A volume of 100 MiB (a reserve of 1 MiB) with g_room bytes free beyond the reserve before
// g_roomFile was begun, filling as that file grows.
uint64_t g_room = 0;
std::wstring g_roomFile;
bool SmallVolume(const wchar_t*, uint64_t& available, uint64_t& total) noexcept
{
    WIN32_FILE_ATTRIBUTE_DATA file{};
    const uint64_t used =
        ::GetFileAttributesExW(g_roomFile.c_str(), GetFileExInfoStandard, &file)
            ? (static_cast<uint64_t>(file.nFileSizeHigh) << 32) | file.nFileSizeLow
            : 0;
    total = 100ull << 20;
    available = (1ull << 20) + g_room - std::min(used, g_room);
    return true;
}

std::optional<download::FileState> StateOf(const std::wstring& path)
{
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? download::StateOf(file.Get()) : std::nullopt;
}

// A tag is quoted, any other text a date; "" is no version.
FileVersion VersionOf(const std::string& name)
{
    FileVersion version;
    (name[0] == '"' ? version.tag : version.date) =
        ResumeValidator(name[0] == '"' ? ResumeValidator::Kind::ETag
                                       : ResumeValidator::Kind::LastModified,
                        test::Wide(name));
    return version;
}

// What the record holds for the file as it is: its tag, else its date; "" for none.
std::string Recorded(DownloadRecord& record, const std::wstring& path)
{
    return test::Utf8(record.Read(StateOf(path)).IfRange().View());
}

// Under these limits a file of 1 MiB comes over several connections, as 16 MiB and more do.
constexpr uint64_t kSegmentedSize = 1 << 20;
const download::TransferLimits kSegmentLimits{5000, Roomy, 64 << 10, 16 << 10};

// The parts in the records' folder, by their first byte, with their bytes; "" for the record.
std::map<uint64_t, std::string> Parts(const std::wstring& folder)
{
    std::map<uint64_t, std::string> parts;
    for (const std::string& name : test::TreeBelow(folder)) {
        const size_t at = name.find(".part");
        if (at != std::string::npos)
            parts[std::stoull(name.substr(at + 5))] =
                test::ReadFileBytes(folder + test::Wide(name));
    }
    return parts;
}

// What is wrong with the file and the parts beside it, or "": the file a whole prefix of the
// version, each part that version's bytes at its place, beyond the file.
std::string Splices(const std::wstring& file, const std::wstring& folder, unsigned version)
{
    const std::string onDisk = test::ReadFileBytes(file);
    if (onDisk != test::PatternBytes(0, onDisk.size(), version))
        return "the file is no prefix of version " + std::to_string(version);
    for (const auto& [start, bytes] : Parts(folder)) {
        if (start < onDisk.size() ||
            bytes != test::PatternBytes(start, start + bytes.size(), version))
            return "the part at " + std::to_string(start) + " holds other bytes";
    }
    return "";
}

// The ranges the requests asked for, as "first-last" ("first-" to the end, "" for no Range);
// each with its If-Range, when sent, after a space.
std::vector<std::string> Asked(const std::string& token)
{
    // The header's value: after "Name: ", before CR LF.
    const auto value = [](const std::string& line, size_t name) {
        return line.substr(name, line.size() - name - 2);
    };
    std::vector<std::string> asked;
    for (const std::string& request : test::RecordedRequests(token)) {
        std::string line;
        for (const std::string& range : test::HeaderLines(request, "Range"))
            line.append(value(range, 13)); // "Range: bytes="
        for (const std::string& ifRange : test::HeaderLines(request, "If-Range"))
            line.append(" ").append(value(ifRange, 10));
        asked.push_back(line);
    }
    return asked;
}

} // namespace

TEST(Transfer, EveryAnswerEndsAsItShouldAndNoneThatNamesOtherBytesTouchesTheFile)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    const std::string none, whole = test::PatternBytes(0, 40960), part = whole.substr(0, 1000);
    const std::string v1 = test::PatternBytes(0, 40960, 1), v2 = test::PatternBytes(0, 40960, 2);
    const std::string tag1 = "\"v1\"", tag2 = "\"v2\"", date1 = "Thu, 02 Jan 2020 00:00:00 GMT";
    const std::string date2 = "Fri, 03 Jan 2020 00:00:00 GMT";
    const std::string part206 = "answer/2000/206?h=Content-Range: bytes ",
                      part3000 = "1000-2999/3000";
    // The answer is the server's mode with its size, extra and options (loopback_server.py), and
    // the headers of the mode "answer" in its query, escaped as a query is ("%2B" for '+');
    // the events are the first progress event's offset/total, then the end event's code.
    // clang-format off
    const struct {
        const char* name;
        std::string answer;
        const std::string& onDisk;
        const std::string& kept;      // the version recorded for the file on disk
        // Unless given, the answer fails with no progress and leaves the file and its record
        // as they were.
        const char* events = "-1";
        std::string file = onDisk;
        const std::string& keptAfter = kept;
    } cases[] = {
        {"a fresh file", "file/40960", none, none, "0/40960 2", whole, none},
        {"a resume", "file/40960", part, none, "1000/40960 2", whole, none},
        {"a complete file and its 416", "file/40960", whole, none, "2", whole, none},
        {"a 416 of the kept tag", "answer/0/416?h=Content-Range: bytes */1000&h=ETag: " + tag1,
         part, tag1, "2", part},
        {"a 416 without a range", "answer/0/416", part, none, "2", part, none},
        {"a 200 to a range", "file/40960?range=ignore", v2.substr(0, 1000), tag1, "0/40960 2",
         whole, none},
        {"no length", "answer/15000/200", none, none, "0/0 2", whole.substr(0, 15000), none},
        {"a redirect", "redirect/40960", none, none, "0/40960 2", whole, none},
        {"a long query", "file/4096?q=" + std::string(6000, 'a') + "&b=2", none, none,
         "0/4096 2", whole.substr(0, 4096), none},
        {"a body cut short", "file/40960?drop=10000", none, none, "0/40960 -1",
         whole.substr(0, 10000), none},
        {"a 206 short of its total", "answer/5000/206?h=Content-Range: bytes 0-4999/40960"
         "&h=Content-Length: 5000", none, none, "0/40960 -1", whole.substr(0, 5000), none},
        {"the same version", "file/40960/1", v1.substr(0, 1000), tag1, "1000/40960 2", v1, tag1},
        {"the same version after a redirect to another host", "elsewhere/file/40960/1",
         v1.substr(0, 1000), tag1, "1000/40960 2", v1, tag1},
        // A finished file's record stays: a longer new build is not appended to it.
        {"a finished file, its server's file since grown", "file/81920/2", v1, tag1, "0/81920 2",
         test::PatternBytes(0, 81920, 2), tag2},
        // Cut short, so that the record is seen to follow the file.
        {"a changed file", "file/40960/2?drop=10000", v1.substr(0, 1000), tag1, "0/40960 -1",
         v2.substr(0, 10000), tag2},
        {"a changed file named by its date", "file/40960/2?tag=none&drop=10000",
         v1.substr(0, 1000), date1, "0/40960 -1", v2.substr(0, 10000), date2},
        {"a changed file with a weak tag", "file/40960/2?tag=weak&drop=10000", v1.substr(0, 1000),
         date1, "0/40960 -1", v2.substr(0, 10000), date2},
        {"a part of the kept date, with a tag", "answer/1500/206?h=Content-Range: bytes " +
         part3000 + "&h=ETag: \"v1\"&h=Last-Modified: " + date1, part, date1, "1000/3000 -1",
         whole.substr(0, 2500), tag1},
        {"a part running past its range", "answer/3000/206?h=Content-Range: bytes " + part3000,
         part, none, "1000/3000 -1", whole.substr(0, 3000), none},
        // Sizes are read from digits alone and as 64 bits; a version only in a form If-Range can
        // send back as it came, else the date stands in.
        {"a length of 5000000000, cut short", "answer/4096/200?h=Content-Length: 5000000000", none,
         none, "0/5000000000 -1", whole.substr(0, 4096), none},
        {"a part ending at the largest end but one, more than any volume holds",
         part206 + "0-18446744073709551614/*", none, none},
        {"a part whose unit is capitalised", "answer/2000/206?h=Content-Range: Bytes " + part3000,
         part, none, "1000/3000 2", whole.substr(0, 3000), none},
        {"a whole file with a tag of two words", "answer/10/200?h=Content-Length: 20&h=ETag: "
         "\"a b\"&h=Last-Modified: " + date1, none, none, "0/20 -1", whole.substr(0, 10), date1},
        {"a whole file dated with a tag", "answer/10/200?h=Content-Length: 20&h=Last-Modified: "
         "\"v1\"", none, none, "0/20 -1", whole.substr(0, 10), none},
        {"a length with a letter", "answer/12/200?h=Content-Length: 12a", part, none},
        {"a length with a sign", "answer/5/200?h=Content-Length: %2B5", part, none},
        {"a part ending beyond its total", part206 + "1000-2999/2000", part, none},
        {"a part without its total", part206 + "1000-2999", part, none},
        {"a part with more after its range", part206 + part3000 + " x", part, none},
        {"304", "answer/0/304", part, none},
        {"404 for a file not begun", "answer/0/404", none, none},
        {"a part naming no version", part206 + part3000, part, tag1},
        {"a part naming no version after a redirect to another host",
         "elsewhere/" + part206 + part3000, part, tag1},
        {"a 206 100 bytes late", part206 + "1100-3099/40960", part, none},
        {"a 206 without a range", "answer/2000/206", part, none},
        {"a 206 whose length is not its range's",
         part206 + part3000 + "&h=Content-Length: 50", part, none},
        {"a 206 of another version", "file/40960/2?ifrange=ignore", v1.substr(0, 1000), tag1},
        {"a 206 of the kept tag made weak", part206 + part3000 + "&h=ETag: W/\"v1\"", part, tag1},
        {"a 206 of another date", part206 + part3000 + "&h=Last-Modified: " + date2, part, date1},
        {"a 416 whose total is not the length on disk", "file/4000", whole.substr(0, 5000), none},
        {"a 416 when no range was asked", "answer/0/416?h=Content-Range: bytes */0", none, none},
        {"a 416 with a garbled range", "answer/0/416?h=Content-Range: garbage", part, none},
        {"a 416 of another version", "file/1000/2?ifrange=ignore", part, tag1},
        {"a range whose end + 1 wraps, from 0", part206 + "0-18446744073709551615/*", none, none},
        {"a range total beyond 64 bits", part206 + "1000-2999/18446744073709551616", part, none},
        {"a range that ends before it starts", part206 + "1000-999/40960", part, none},
        {"a 200 length beyond 64 bits",
         "answer/2000/200?h=Content-Length: 18446744073709551616", part, none},
    };
    // clang-format on
    test::TempDir dir;
    const std::wstring file = dir.Path(L"file.bin");
    DownloadRecord record(dir.Path(L"records\\"), L"file.bin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string token = test::UniqueToken(), object = "/" + token + "/" + c.answer;
        ::DeleteFileW(file.c_str());
        ASSERT_TRUE(c.onDisk.empty() || test::WriteFileBytes(file, c.onDisk));
        ASSERT_TRUE(c.kept.empty() || record.Write(VersionOf(c.kept), *StateOf(file)));
        EXPECT_EQ(Fetch(test::ServerUrl(object.substr(1)), file, record, {5000, Roomy}),
                  c.events);
        EXPECT_EQ(test::FileExists(file), !c.file.empty()) << "a file was made, or went";
        EXPECT_TRUE(test::ReadFileBytes(file) == c.file) << "the file holds other bytes";
        EXPECT_EQ(Recorded(record, file), c.keptAfter) << "the version recorded";
        // Asked for, of each host met: the object, the rest from the length on disk, and the
        // recorded version.
        const auto requests = test::RecordedRequests(token);
        ASSERT_FALSE(requests.empty());
        // WinHTTP escapes spaces and quotes; the rest goes as it is.
        EXPECT_EQ(requests[0].rfind("GET " + object.substr(0, object.find(' ')), 0), 0u);
        EXPECT_NE(requests[0].find("\r\nUser-Agent: MSIE\r\n"), std::string::npos);
        std::string range = "Range: bytes=" + std::to_string(c.onDisk.size()) + "-\r\n";
        const std::string ifRange = c.kept.empty() ? "" : "If-Range: " + c.kept + "\r\n";
        for (const std::string& request : requests) {
            std::string sent;
            for (const char* name : {"Range", "If-Range"})
                for (const std::string& line : test::HeaderLines(request, name))
                    sent += line;
            EXPECT_EQ(sent, c.onDisk.empty() ? "" : range + ifRange);
        }
    }
}

TEST(Transfer, AnAnswerMustFitTheVolumeAndAServerThatKeepsItWaitingFailsIt)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    const std::string whole = test::PatternBytes(0, 40960);
    constexpr uint64_t kPlenty = 1ull << 30;
    // The file ends as a part of the whole of at least `least` and at most `most` bytes; none
    // for 0, 0. The server is given 1.5 s to send the next whole piece.
    const struct {
        const char* name;
        std::string answer;
        uint64_t room;
        const char* events;
        size_t least, most;
    } cases[] = {
        {"more than the room less the reserve", "file/40960", 30000, "-1", 0, 0},
        {"within the room", "file/40960", 50000, "0/40960 2", 40960, 40960},
        {"no length, more than the room", "chunked/100000/1", 30000, "0/0 -1", 30000 - 4096,
         30000},
        {"a server gone silent mid-body", "file/40960?stall=10000", kPlenty, "0/40960 -1", 8192,
         10000},
        {"a server trickling a byte each 100 ms mid-body", "file/40960?stall=10000&drip=100",
         kPlenty, "0/40960 -1", 8192, 10100},
        {"a server trickling its headers for 4 s", "slowhead/4096/100", kPlenty, "-1", 0, 0},
    };
    test::TempDir dir;
    g_roomFile = dir.Path(L"file.bin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(g_roomFile.c_str());
        g_room = c.room;
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(Fetch(test::ServerUrl(test::UniqueToken() + "/" + c.answer), g_roomFile, {},
                        {1500, SmallVolume}),
                  c.events);
        EXPECT_LT(::GetTickCount64() - start, 10000u) << "the limit was not kept";
        const std::string file = test::ReadFileBytes(g_roomFile);
        EXPECT_EQ(test::FileExists(g_roomFile), c.most > 0) << "a file was made, or was not";
        EXPECT_TRUE(file.size() >= c.least && file.size() <= c.most &&
                    whole.compare(0, file.size(), file) == 0)
            << file.size() << " bytes";
    }
}

TEST(Transfer, NginxResumesWithItsOwnTagAndFinishesACompleteFileWithoutItsPage)
{
    ASSERT_NE(test::Servers().nginx, 0) << "nginx is not running";
    const std::string source = test::ReadFileBytes(test::ServerFolder() + L"www\\nginx.bin");
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(test::Servers().nginx);
    test::TempDir dir;
    const std::wstring file = dir.Path(L"n.bin");
    DownloadRecord record(dir.Path(), L"n.bin");
    g_pauseAt = 1;
    const std::string paused = Fetch(url + L"/nginx.bin", file, record);
    g_pauseAt = UINT64_MAX;
    ASSERT_EQ(paused, "0/40960 -100");
    ASSERT_EQ(Recorded(record, file).substr(0, 1), "\"") << "nginx's tag was not recorded";
    // Taking the tag for another version, nginx would send the whole file from offset 0.
    const std::string onDisk = test::ReadFileBytes(file);
    EXPECT_EQ(Fetch(url + L"/nginx.bin", file, record),
              std::to_string(onDisk.size()) + "/40960 2");
    EXPECT_TRUE(test::ReadFileBytes(file) == source && onDisk == source.substr(0, onDisk.size()))
        << "the file is not nginx's";
    // Its 416 comes with an HTML page.
    EXPECT_EQ(Fetch(url + L"/nginx.bin", file, record), "2");
    EXPECT_TRUE(test::ReadFileBytes(file) == source) << "the 416 page was written";
}

TEST(Transfer, WithoutAnAnswerOrAWritableFileItFailsWithNoProgressAndMakesNoFile)
{
    test::TempDir dir;
    const std::string token = test::UniqueToken();
    const int hellos = test::TlsHelloCount();
    EXPECT_EQ(Fetch(L"http://127.0.0.1:1/x", dir.Path(L"a.bin")), "-1") << "no server";
    EXPECT_EQ(Fetch(test::ServerUrl(token + "/file/40960", true), dir.Path(L"b.bin")), "-1")
        << "a certificate this machine does not trust";
    EXPECT_GT(test::TlsHelloCount(), hellos) << "the https request did not speak TLS";
    EXPECT_EQ(test::TreeBelow(dir.Path()), std::set<std::string>{})
        << "a failed transfer made a file";
    // Wine maps Z:\dev\full to the Linux device that refuses every write with "disk full".
    EXPECT_EQ(Fetch(test::ServerUrl(token + "/file/40960"), L"Z:\\dev\\full"), "-1");
    EXPECT_EQ(test::RecordedRequests(token).size(), 1u)
        << "a request went through in spite of the certificate";
}

TEST(Transfer, ALargeFileComesOverSeveralConnectionsAndNeverAsASplice)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    // A file of version 1 over 4 connections; the server's options as loopback_server.py takes
    // them. The file ends as a version whole, or (0) as a whole prefix of version 1 with parts
    // of it beside it. Exactly so many requests, else one per connection or more; every request
    // but the first asks for a closed range of version 1.
    const struct {
        const char* name;
        const char* options;
        const char* events;
        unsigned version;
        size_t requests = 0;
        int connections = 4;
    } cases[] = {
        {"a ranged server", "", "0/1048576 2", 1},
        {"one connection", "", "0/1048576 2", 1, 1, 1},
        {"a server that ignores ranges", "?range=ignore", "0/1048576 2", 1, 1},
        {"a 200 to a segment", "?segment=whole", "0/1048576 2", 1},
        {"the file changed between segments", "?segment=v2", "0/1048576 2", 2},
        {"a segment of another version", "?segment=v2&ifrange=ignore", "0/1048576 -1", 0},
        {"a 416 to a segment", "?segment=416", "0/1048576 -1", 0},
        {"a server that refuses a second connection", "?limit=1&delay=5", "0/1048576 2", 1, 4},
        {"connections reset before their answer", "?segment=reset&delay=5", "0/1048576 2", 1, 4},
        {"a segment cut mid-way", "?drop=700000", "0/1048576 -1", 0},
        {"segments answered shorter than asked", "?seglen=10000", "0/1048576 2", 1},
    };
    test::TempDir dir;
    const std::wstring file = dir.Path(L"big.bin"), records = dir.Path(L"records\\");
    DownloadRecord record(records, L"big.bin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::DeleteFileW(file.c_str());
        record.Drop();
        const std::string token = test::UniqueToken();
        EXPECT_EQ(Fetch(test::ServerUrl(token + "/file/1048576/1" + c.options), file, record,
                        kSegmentLimits, c.connections),
                  c.events);
        if (c.version) {
            EXPECT_TRUE(test::ReadFileBytes(file) ==
                        test::PatternBytes(0, kSegmentedSize, c.version))
                << "the file is not the version whole";
            EXPECT_TRUE(Parts(records).empty()) << "a part outlived the download";
        } else {
            EXPECT_EQ(Splices(file, records, 1), "");
        }
        EXPECT_EQ(Recorded(record, file), "\"v" + std::to_string(std::max(c.version, 1u)) + "\"");
        const auto asked = Asked(token);
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked[0], "");
        if (c.requests)
            EXPECT_EQ(asked.size(), c.requests);
        else
            EXPECT_GE(asked.size(), 4u);
        for (size_t i = 1; i < asked.size(); ++i) {
            const size_t dash = asked[i].find('-');
            EXPECT_TRUE(dash != std::string::npos &&
                        std::stoull(asked[i].substr(0, dash)) <
                            std::stoull(asked[i].substr(dash + 1)) &&
                        asked[i].ends_with(" \"v1\""))
                << "request " << i << ": " << asked[i];
        }
    }
}

TEST(Transfer, APauseLeavesAWholePrefixAndPartsWhichTheResumeTakesUnlessTheFileChanged)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    test::TempDir dir;
    const std::wstring file = dir.Path(L"big.bin"), records = dir.Path(L"records\\");
    DownloadRecord record(records, L"big.bin");
    const std::wstring given = test::ServerFolder() + L"given\\";
    // Paused at half of build 1 over 4 connections, then the server's build given, paused again
    // at three quarters over 2 (whose segments begin elsewhere than the 4's parts), then to the
    // end: each pause leaves a whole prefix of the build fetched, and parts of it.
    for (const unsigned build : {1u, 2u}) {
        SCOPED_TRACE(build == 1 ? "the same build" : "a new build");
        ::DeleteFileW(file.c_str());
        const std::string token = test::UniqueToken(), url = token + "/build/1048576?delay=2";
        ASSERT_TRUE(test::WriteFileBytes(given + test::Wide(token), "1"));
        std::map<uint64_t, std::string> parts;
        size_t before = 0;
        for (const uint64_t pause : {kSegmentedSize / 2, kSegmentedSize * 3 / 4, UINT64_MAX}) {
            g_pauseAt = pause;
            const std::string events = Fetch(test::ServerUrl(url), file, record, kSegmentLimits,
                                             pause == kSegmentedSize * 3 / 4 ? 2 : 4);
            g_pauseAt = UINT64_MAX;
            EXPECT_TRUE(events.ends_with(pause == UINT64_MAX ? " 2" : " -100")) << events;
            EXPECT_EQ(Splices(file, records, pause == kSegmentedSize / 2 ? 1 : build), "");
            if (pause == kSegmentedSize / 2) {
                parts = Parts(records);
                EXPECT_FALSE(parts.empty()) << "the pause left no part";
                before = test::RecordedRequests(token).size();
                ASSERT_TRUE(
                    test::WriteFileBytes(given + test::Wide(token), std::to_string(build)));
            }
        }
        EXPECT_TRUE(test::ReadFileBytes(file) == test::PatternBytes(0, kSegmentedSize, build))
            << "the file is not the build whole";
        EXPECT_TRUE(Parts(records).empty()) << "a part outlived the download";
        EXPECT_EQ(Recorded(record, file), "\"v" + std::to_string(build) + "\"");
        // The same build: no byte a part held at the first pause is asked for again. A resume's
        // first request runs to the end; it must not begin within a part.
        const auto asked = Asked(token);
        for (size_t i = before; i < asked.size() && build == 1; ++i) {
            const uint64_t first = std::stoull(asked[i]);
            const size_t dash = asked[i].find('-');
            const bool open = asked[i].size() == dash + 1 || asked[i][dash + 1] == ' ';
            const uint64_t last = open ? first : std::stoull(asked[i].substr(dash + 1));
            for (const auto& [start, bytes] : parts)
                EXPECT_TRUE(last < start || first >= start + bytes.size())
                    << asked[i] << " asks again for the part at " << start;
        }
    }
}

TEST(DownloadSetting, ConnectionsAreOneToEightWrittenExactlyElseFour)
{
    const std::pair<const wchar_t*, int> cases[] = {
        {L"1", 1}, {L"8", 8}, {L"", 4},   {L"0", 4},  {L"9", 4},
        {L"x", 4}, {L" 2", 4}, {L"02", 4}, {L"2 ", 4}, {L"-1", 4},
    };
    for (const auto& [text, connections] : cases)
        EXPECT_EQ(download::ConnectionsFrom(text), connections) << "\"" << test::Utf8(text) << "\"";
}
