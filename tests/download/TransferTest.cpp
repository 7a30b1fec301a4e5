// The transfer engine against the loopback servers: what it asks for, what it writes and which
// events it reports, for each kind of answer a server can give.
#include "download/TaskMap.h"
#include "tests/download/TransferProbe.h"
#include "tests/support/Files.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

namespace {

constexpr uint64_t kFileSize = 40960;

struct Outcome {
    int32_t end = 0;
    size_t endEvents = 0;
    std::vector<test::TransferProbe::Event> events;
    std::string file;
};

std::string QueryEscaped(const std::string& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || std::strchr("-_.~:/*", c)) {
            escaped += static_cast<char>(c);
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 15];
        }
    }
    return escaped;
}

class Transfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(test::Servers().http, 0)
            << "the test servers are not running (CTest starts them)";
        m_token = test::UniqueToken();
        m_path = m_dir.Path(L"file.bin");
    }

    // Runs one transfer of the fixture's task to its end; the file is read afterwards.
    Outcome Fetch(const std::wstring& url)
    {
        test::TransferProbe probe;
        EXPECT_TRUE(test::StartProbedTransfer(probe, url, m_path, &m_kept))
            << "the transfer did not start";
        EXPECT_TRUE(probe.WaitForEnd()) << "no end event within 15 s for " << test::Utf8(url);
        return {probe.EndCode(), probe.EndEventCount(), probe.Events(),
                test::ReadFileBytes(m_path)};
    }
    std::wstring Url(const std::string& mode, uint64_t size = kFileSize, int64_t extra = -1)
    {
        return test::CaseUrl(m_token, mode, size, extra);
    }
    // The mode "answer": the status and headers given, then bodySize bytes of the file.
    std::wstring Answer(int status, uint64_t bodySize, std::initializer_list<std::string> headers)
    {
        std::wstring url = Url("answer", bodySize, status);
        char separator = '?';
        for (const std::string& header : headers) {
            url += test::Wide(std::string(1, separator) + "h=" + QueryEscaped(header));
            separator = '&';
        }
        return url;
    }
    void WriteLocal(std::string_view bytes) { ASSERT_TRUE(test::WriteFileBytes(m_path, bytes)); }
    std::vector<std::string> Requests() { return test::RecordedRequests(m_token); }

    test::TempDir m_dir;
    std::string m_token;
    std::wstring m_path;
    download::ResumeValidator m_kept; // the version the task's transfers name
};

size_t ProgressCount(const Outcome& outcome)
{
    size_t count = 0;
    for (const auto& event : outcome.events)
        count += event.code == download::kEventProgress ? 1 : 0;
    return count;
}

using FreshDownload = Transfer;
using ResumeDownload = Transfer;
using FailedDownload = Transfer;
using DownloadRequest = Transfer;
using PausedTransfer = Transfer;

} // namespace

TEST_F(FreshDownload, WritesTheWholeBodyWithoutAskingForARange)
{
    const Outcome outcome = Fetch(Url("file"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_EQ(outcome.endEvents, 1u);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize))
        << "the file differs from the source";
    ASSERT_EQ(ProgressCount(outcome), kFileSize / download::kChunkSize);
    const auto& last = outcome.events[outcome.events.size() - 2];
    EXPECT_EQ(last.offset + last.received, kFileSize);
    EXPECT_EQ(last.total, kFileSize);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(test::RangeLines(requests[0]).empty()) << requests[0];
    EXPECT_NE(requests[0].find("User-Agent: MSIE\r\n"), std::string::npos) << requests[0];
}

TEST_F(ResumeDownload, AsksForTheRestFromTheLengthOnDiskAndAppendsIt)
{
    WriteLocal(test::PatternBytes(0, 1000));
    const Outcome outcome = Fetch(Url("file"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize))
        << "the file differs from the source";
    ASSERT_FALSE(outcome.events.empty());
    EXPECT_EQ(outcome.events[0].offset, 1000u);
    EXPECT_EQ(outcome.events[0].total, kFileSize) << "the total counts the bytes already on disk";
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(test::RangeLines(requests[0]), std::vector<std::string>{"Range: bytes=1000-\r\n"});
}

TEST_F(ResumeDownload, AgainstNginxTheFileEndsIdentical)
{
    ASSERT_NE(test::Servers().nginx, 0);
    const std::string source = test::ReadFileBytes(test::ServerFolder() + L"www\\nginx.bin");
    ASSERT_EQ(source.size(), kFileSize);
    const std::wstring url =
        L"http://127.0.0.1:" + std::to_wstring(test::Servers().nginx) + L"/nginx.bin";
    // The first fetch keeps nginx's tag; the resume names it, and nginx, finding its own version
    // named, sends only the rest.
    ASSERT_EQ(Fetch(url).end, download::kEventFinished);
    ASSERT_EQ(m_kept.GetKind(), download::ResumeValidator::Kind::ETag);
    WriteLocal(source.substr(0, 12345));
    const Outcome outcome = Fetch(url);
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == source) << "the file differs from nginx's";
    ASSERT_FALSE(outcome.events.empty());
    EXPECT_EQ(outcome.events[0].offset, 12345u) << "nginx took If-Range for another version";
}

TEST_F(ResumeDownload, ACompleteFileFinishesAtOnceAndNo416BodyIsWritten)
{
    // nginx answers 416 with an HTML page; the Python server once without a body, once with one.
    const std::string source = test::ReadFileBytes(test::ServerFolder() + L"www\\nginx.bin");
    const std::wstring nginxUrl =
        L"http://127.0.0.1:" + std::to_wstring(test::Servers().nginx) + L"/nginx.bin";
    const std::pair<std::wstring, std::string> cases[] = {
        {Url("file"), test::PatternBytes(0, kFileSize)},
        {Url("file416body"), test::PatternBytes(0, kFileSize)},
        {nginxUrl, source},
    };
    for (const auto& [url, content] : cases) {
        WriteLocal(content);
        const Outcome outcome = Fetch(url);
        EXPECT_EQ(outcome.end, download::kEventFinished) << test::Utf8(url);
        EXPECT_EQ(outcome.events.size(), 1u) << "only the finished event: " << test::Utf8(url);
        EXPECT_TRUE(outcome.file == content) << "the file changed: " << test::Utf8(url);
    }
}

TEST_F(ResumeDownload, AServerThatIgnoresTheRangeGetsTheFileRewrittenFromItsStart)
{
    WriteLocal(std::string(1000, 'x'));
    const Outcome outcome = Fetch(Url("ignorerange"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_EQ(outcome.file.size(), kFileSize) << "the body was appended to the old bytes";
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize));
    ASSERT_FALSE(outcome.events.empty());
    EXPECT_EQ(outcome.events.back().offset, 0u);
    EXPECT_EQ(outcome.events.back().total, kFileSize);
    EXPECT_EQ(test::RangeLines(Requests().at(0)),
              std::vector<std::string>{"Range: bytes=1000-\r\n"});
}

TEST_F(ResumeDownload, NamesTheVersionItContinuesAndNeverSplicesAnother)
{
    // The task fetches version 1 whole and keeps 1000 bytes of it; it resumes while the server
    // holds the version given, and once more after that, to show which version it then names.
    const std::string tag1 = "\"v1\"", tag2 = "\"v2\"";
    const std::string date1 = "Thu, 02 Jan 2020 00:00:00 GMT";
    const std::string date2 = "Fri, 03 Jan 2020 00:00:00 GMT";
    const std::string none;
    const struct {
        const char* name;
        const char* mode;
        int64_t resumedVersion;
        const std::string& sent; // the resume's If-Range; empty: none
        int32_t end;
        unsigned fileVersion;        // the whole file's version after a finished resume
        const std::string& sentNext; // the next resume's If-Range
    } cases[] = {
        {"the same version", "etag", 1, tag1, download::kEventFinished, 1, tag1},
        {"a changed file", "etag", 2, tag1, download::kEventFinished, 2, tag2},
        {"a changed file named by its date", "modified", 2, date1, download::kEventFinished, 2,
         date2},
        {"a changed file with a weak tag", "weaketag", 2, date1, download::kEventFinished, 2,
         date2},
        {"a part of another version", "ignoresifrange", 2, tag1, download::kEventFailed, 0, tag1},
        {"no version named", "file", 0, none, download::kEventFinished, 0, none},
    };
    const auto ifRangeLines = [](const std::string& value) {
        return value.empty() ? std::vector<std::string>{}
                             : std::vector<std::string>{"If-Range: " + value + "\r\n"};
    };
    for (const auto& c : cases) {
        m_token = test::UniqueToken();
        m_kept = {};
        WriteLocal("");
        ASSERT_EQ(Fetch(Url(c.mode, kFileSize, 1)).end, download::kEventFinished) << c.name;
        const std::string kept = test::ReadFileBytes(m_path).substr(0, 1000);
        WriteLocal(kept);

        const Outcome resumed = Fetch(Url(c.mode, kFileSize, c.resumedVersion));
        EXPECT_EQ(resumed.end, c.end) << c.name;
        if (c.end == download::kEventFinished) {
            EXPECT_TRUE(resumed.file == test::PatternBytes(0, kFileSize, c.fileVersion))
                << "the file is not one version whole: " << c.name;
        } else {
            EXPECT_TRUE(resumed.file == kept) << "the file changed: " << c.name;
        }
        WriteLocal(resumed.file.substr(0, 1000));
        (void)Fetch(Url(c.mode, kFileSize, c.resumedVersion));
        const auto requests = Requests();
        ASSERT_EQ(requests.size(), 3u) << c.name;
        EXPECT_TRUE(test::HeaderLines(requests[0], "If-Range").empty()) << c.name;
        EXPECT_EQ(test::HeaderLines(requests[1], "If-Range"), ifRangeLines(c.sent)) << c.name;
        EXPECT_EQ(test::HeaderLines(requests[2], "If-Range"), ifRangeLines(c.sentNext)) << c.name;
    }
}

TEST_F(FailedDownload, AnswersThatDoNotContinueTheFileFailAndLeaveItAsItWas)
{
    const std::string none;
    const std::string partial = test::PatternBytes(0, 1000);
    const std::string longer = test::PatternBytes(0, 5000);
    const struct {
        const char* name;
        std::wstring url;
        const std::string& onDisk;
    } cases[] = {
        {"404", Url("status", 10, 404), partial},
        {"500", Url("status", 10, 500), partial},
        {"a 206 that starts 100 bytes late", Url("wrongoffset", kFileSize, 100), partial},
        {"a 416 whose total is not the length on disk", Url("file", 4000), longer},
        {"a range whose end + 1 wraps, from 0",
         Answer(206, 2000, {"Content-Range: bytes 0-18446744073709551615/*"}), none},
        {"a range whose end + 1 wraps",
         Answer(206, 2000, {"Content-Range: bytes 1000-18446744073709551615/*"}), partial},
        {"a range end beyond 64 bits",
         Answer(206, 2000, {"Content-Range: bytes 1000-18446744073709551616/*"}), partial},
        {"a range total beyond 64 bits",
         Answer(206, 2000, {"Content-Range: bytes 1000-2999/18446744073709551616"}), partial},
        {"a range that ends before it starts",
         Answer(206, 2000, {"Content-Range: bytes 1000-999/40960"}), partial},
        {"a 200 length beyond 64 bits", Answer(200, 2000, {"Content-Length: 18446744073709551616"}),
         partial},
        {"a 206 length beyond 64 bits",
         Answer(206, 2000,
                {"Content-Range: bytes 1000-2999/3000", "Content-Length: 99999999999999999999"}),
         partial},
        {"a 416 total beyond 64 bits",
         Answer(416, 0, {"Content-Range: bytes */18446744073709551616"}), partial},
        {"a 416 that names another version", Url("ignoresifrange", 1000, 2), partial},
    };
    // The task kept version 1's tag from an earlier answer.
    m_kept = download::ResumeValidator(download::ResumeValidator::Kind::ETag, L"\"v1\"");
    for (const auto& c : cases) {
        WriteLocal(c.onDisk);
        const Outcome outcome = Fetch(c.url);
        EXPECT_EQ(outcome.end, download::kEventFailed) << c.name;
        EXPECT_EQ(outcome.events.size(), 1u) << "progress reported: " << c.name;
        EXPECT_TRUE(outcome.file == c.onDisk) << "the file changed: " << c.name;
    }
}

TEST_F(FailedDownload, ABodyCutShortFailsKeepsWhatArrivedAndAResumeCompletesIt)
{
    constexpr uint64_t kDropAt = 10000;
    Outcome outcome = Fetch(Url("drop", kFileSize, kDropAt));
    EXPECT_EQ(outcome.end, download::kEventFailed) << "a dropped connection counted as finished";
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kDropAt))
        << "kept " << outcome.file.size() << " bytes";

    outcome = Fetch(Url("drop", kFileSize, kDropAt));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize));
    EXPECT_EQ(test::RangeLines(Requests().at(1)),
              std::vector<std::string>{"Range: bytes=10000-\r\n"});

    // A 206 that ends before the total it announces leaves the file short of it as well.
    WriteLocal("");
    outcome = Fetch(Url("part", kFileSize, 5000));
    EXPECT_EQ(outcome.end, download::kEventFailed);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, 5000));
}

TEST_F(FailedDownload, CertificateErrorsAreNeverIgnored)
{
    // The server's certificate is self-signed and this machine does not trust it.
    const int hellosBefore = test::TlsHelloCount();
    const Outcome outcome = Fetch(test::CaseUrl(m_token, "file", kFileSize, -1, true));
    EXPECT_EQ(outcome.end, download::kEventFailed);
    EXPECT_EQ(outcome.events.size(), 1u);
    EXPECT_TRUE(outcome.file.empty());
    EXPECT_GT(test::TlsHelloCount(), hellosBefore) << "the request did not speak TLS";
}

TEST_F(FailedDownload, AnUnreachableServerFails)
{
    const Outcome outcome = Fetch(L"http://127.0.0.1:1/nothing");
    EXPECT_EQ(outcome.end, download::kEventFailed);
    EXPECT_EQ(outcome.events.size(), 1u);
}

TEST_F(DownloadRequest, WithoutContentLengthTheEndOfTheBodyFinishes)
{
    const Outcome outcome = Fetch(Url("nolength", 15000));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, 15000));
    for (const auto& event : outcome.events)
        EXPECT_EQ(event.total, 0u) << "a total was made up";
}

TEST_F(DownloadRequest, RedirectsAreFollowed)
{
    const Outcome outcome = Fetch(Url("redirect"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize));
    EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(DownloadRequest, LongUrlsKeepTheirWholeQueryString)
{
    const std::string query = "?q=" + std::string(6000, 'a') + "&b=2";
    const Outcome outcome = Fetch(Url("file", 4096) + test::Wide(query));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, 4096));
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find(query + " HTTP/1.1\r\n"), std::string::npos) << "the query was cut";
}

TEST_F(DownloadRequest, UrlsThatCannotBeTakenApartFailBeforeTheCallReturns)
{
    const std::wstring urls[] = {
        L"",          L"not a url",    L"ftp://127.0.0.1/x",
        L"http:///x", L"file:///C:/x", L"http://" + std::wstring(300, L'h') + L"/x"};
    for (const std::wstring& url : urls) {
        test::TransferProbe probe;
        ASSERT_TRUE(test::StartProbedTransfer(probe, url, m_path)) << test::Utf8(url);
        // Sent on this thread, before StartDownload returned.
        EXPECT_EQ(probe.EndCode(), download::kEventFailed) << test::Utf8(url);
        EXPECT_EQ(probe.Events().size(), 1u);
        EXPECT_FALSE(test::FileExists(m_path)) << "a file was made for " << test::Utf8(url);
    }
}

TEST_F(DownloadRequest, AFileThatCannotBeOpenedStartsNothing)
{
    test::TransferProbe probe;
    EXPECT_FALSE(test::StartProbedTransfer(probe, Url("file"), m_dir.Path(L"missing\\file.bin")));
    EXPECT_TRUE(probe.Events().empty());
    EXPECT_TRUE(Requests().empty()) << "a request went out for a file that cannot be written";
}

TEST_F(PausedTransfer, StopsWhileDataFlowsKeepsItsBytesAndTheRestFollowsOnResume)
{
    constexpr uint64_t kSlowSize = 409600;
    const std::wstring url = Url("slow", kSlowSize, 20);
    {
        test::TransferProbe probe;
        ASSERT_TRUE(test::StartProbedTransfer(probe, url, m_path));
        ASSERT_TRUE(probe.WaitForProgress()) << "no progress within 15 s";
        download::WriteCommand(probe.command, download::kCommandPause);
        ASSERT_TRUE(probe.WaitForEnd());
        EXPECT_EQ(probe.EndCode(), download::kEventPaused);
        EXPECT_EQ(probe.EndEventCount(), 1u);
    }
    const std::string kept = test::ReadFileBytes(m_path);
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LT(kept.size(), kSlowSize) << "the pause came after the whole body";
    EXPECT_TRUE(kept == test::PatternBytes(0, kept.size()));

    const Outcome outcome = Fetch(url);
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kSlowSize));
    EXPECT_EQ(test::RangeLines(Requests().at(1)),
              std::vector<std::string>{"Range: bytes=" + std::to_string(kept.size()) + "-\r\n"});
}

TEST_F(FailedDownload, AFailedWriteFailsTheTransfer)
{
    // Wine maps Z:\dev\full to the Linux device that refuses every write with "disk full".
    test::TransferProbe probe;
    ASSERT_TRUE(test::StartProbedTransfer(probe, Url("file"), L"Z:\\dev\\full"));
    ASSERT_TRUE(probe.WaitForEnd());
    EXPECT_EQ(probe.EndCode(), download::kEventFailed);
    EXPECT_EQ(probe.Events().size(), 1u) << "progress reported for bytes never written";
}
