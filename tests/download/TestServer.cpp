#include "tests/download/TestServer.h"

#include "base/Lock.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>

namespace test {
namespace {

// CTest runs the tests in this folder's build folder; the servers keep their state below it.
constexpr wchar_t kServerFolder[] = L"servers\\";

int PortOf(const std::string& text, const std::string& name)
{
    const size_t at = text.find(name + "=");
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + name.size() + 1);
}

// A small synchronous GET for the servers' own records.
std::string GetText(const std::wstring& path)
{
    UniqueInternet session(::WinHttpOpen(L"quib-tests", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    UniqueInternet connection(session
                                  ? ::WinHttpConnect(session.Get(), L"127.0.0.1",
                                                     static_cast<INTERNET_PORT>(Servers().http), 0)
                                  : nullptr);
    UniqueInternet request(connection ? ::WinHttpOpenRequest(connection.Get(), L"GET", path.c_str(),
                                                             nullptr, WINHTTP_NO_REFERER,
                                                             WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                      : nullptr);
    std::string text;
    if (!request ||
        !::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return text;
    char buffer[4096];
    DWORD read = 0;
    while (::WinHttpReadData(request.Get(), buffer, sizeof(buffer), &read) && read > 0)
        text.append(buffer, read);
    return text;
}

Lock g_probesLock;
std::map<uint64_t, TransferProbe*> g_probes;

} // namespace

const ServerPorts& Servers()
{
    static const ServerPorts ports = [] {
        const std::string text = ReadFileBytes(std::wstring(kServerFolder) + L"ports.txt");
        return ServerPorts{PortOf(text, "http"), PortOf(text, "https"), PortOf(text, "nginx")};
    }();
    return ports;
}

std::wstring ServerFolder()
{
    wchar_t full[MAX_PATH] = {};
    ::GetFullPathNameW(kServerFolder, MAX_PATH, full, nullptr);
    return full;
}

std::string UniqueToken()
{
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "t";
    return name + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

std::wstring CaseUrl(const std::string& token, const std::string& mode, uint64_t size,
                     int64_t extra, bool tls)
{
    std::wstring url = tls ? L"https://127.0.0.1:" + std::to_wstring(Servers().https)
                           : L"http://127.0.0.1:" + std::to_wstring(Servers().http);
    url += L"/" + Wide(token) + L"/" + Wide(mode) + L"/" + std::to_wstring(size);
    if (extra >= 0)
        url += L"/" + std::to_wstring(extra);
    return url;
}

std::string PatternBytes(uint64_t first, uint64_t end)
{
    std::string bytes;
    bytes.reserve(static_cast<size_t>(end - first));
    for (uint64_t i = first; i < end; ++i)
        bytes.push_back(static_cast<char>((i % 251) ^ ((i / 251) & 255)));
    return bytes;
}

std::vector<std::string> RecordedRequests(const std::string& token)
{
    const std::string text = GetText(L"/" + Wide(token) + L"/log");
    std::vector<std::string> heads;
    const std::string separator = "\n=====\n";
    size_t start = 0;
    while (!text.empty()) {
        const size_t at = text.find(separator, start);
        heads.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            break;
        start = at + separator.size();
    }
    return heads;
}

std::vector<std::string> RangeLines(const std::string& head)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < head.size()) {
        size_t end = head.find('\n', start);
        end = end == std::string::npos ? head.size() : end + 1;
        const std::string line = head.substr(start, end - start);
        if (line.rfind("Range:", 0) == 0)
            lines.push_back(line);
        start = end;
    }
    return lines;
}

int TlsHelloCount() { return std::atoi(GetText(L"/tls-count").c_str()); }

TransferProbe::TransferProbe()
    : m_ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_progressed(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    static std::atomic<uint64_t> next{0x7E57000000000000ull};
    m_id = next++;
    LockGuard lock(g_probesLock);
    g_probes[m_id] = this;
}

TransferProbe::~TransferProbe()
{
    LockGuard lock(g_probesLock);
    g_probes.erase(m_id);
}

void TransferProbe::CallBack(int32_t event, const DOWNLOADINFO& transfer) noexcept
{
    LockGuard lock(g_probesLock);
    auto it = g_probes.find(transfer.ullTaskId);
    if (it != g_probes.end())
        it->second->Record({event, transfer.ullOffset, transfer.ullReceived, transfer.ullTotal});
}

void TransferProbe::Record(const Event& event) noexcept
{
    ::AcquireSRWLockExclusive(&m_lock);
    try {
        m_events.push_back(event);
    } catch (...) {
    }
    ::ReleaseSRWLockExclusive(&m_lock);
    if (event.code == download::kEventProgress)
        ::SetEvent(m_progressed.Get());
    else
        ::SetEvent(m_ended.Get());
}

bool TransferProbe::WaitForEnd(DWORD timeoutMs)
{
    return ::WaitForSingleObject(m_ended.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool TransferProbe::WaitForProgress(DWORD timeoutMs)
{
    HANDLE either[] = {m_progressed.Get(), m_ended.Get()};
    return ::WaitForMultipleObjects(2, either, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

std::vector<TransferProbe::Event> TransferProbe::Events()
{
    ::AcquireSRWLockExclusive(&m_lock);
    std::vector<Event> copy = m_events;
    ::ReleaseSRWLockExclusive(&m_lock);
    return copy;
}

int32_t TransferProbe::EndCode()
{
    for (const Event& event : Events()) {
        if (event.code != download::kEventProgress)
            return event.code;
    }
    return 0;
}

size_t TransferProbe::EndEventCount()
{
    size_t count = 0;
    for (const Event& event : Events())
        count += event.code != download::kEventProgress ? 1 : 0;
    return count;
}

bool StartProbedTransfer(TransferProbe& probe, const std::wstring& url, const std::wstring& path)
{
    return StartDownload(url.c_str(), path.c_str(), probe.Id(), &TransferProbe::CallBack,
                         &probe.command);
}

} // namespace test
