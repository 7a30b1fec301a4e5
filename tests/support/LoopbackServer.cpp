#include "tests/support/LoopbackServer.h"

#include "base/WinHttp.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace test {
namespace {

// Set by the build: the folder CTest's fixture gives the servers, as a Unix path.
constexpr char kServerFolder[] = QUIB_SERVER_FOLDER;

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

} // namespace

const ServerPorts& Servers()
{
    static const ServerPorts ports = [] {
        const std::string text = ReadFileBytes(ServerFolder() + L"ports.txt");
        return ServerPorts{PortOf(text, "http"), PortOf(text, "https"), PortOf(text, "nginx")};
    }();
    return ports;
}

std::wstring ServerFolder()
{
    // Wine maps the Unix root to drive Z:.
    std::wstring folder = L"Z:" + Wide(kServerFolder) + L"/";
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    return folder;
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

bool GiveFile(const std::string& token, std::string_view bytes)
{
    return WriteFileBytes(ServerFolder() + L"given\\" + Wide(token), bytes);
}

std::string PatternBytes(uint64_t first, uint64_t end, unsigned version)
{
    std::string bytes;
    bytes.reserve(static_cast<size_t>(end - first));
    for (uint64_t i = first; i < end; ++i)
        bytes.push_back(static_cast<char>((i % 251) ^ ((i / 251) & 255) ^ version));
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

std::vector<std::string> RecordedRequestLines(const std::string& token)
{
    std::vector<std::string> lines;
    for (const std::string& head : RecordedRequests(token))
        lines.push_back(head.substr(0, head.find("\r\n")));
    return lines;
}

std::vector<std::string> HeaderLines(const std::string& head, std::string_view name)
{
    const std::string prefix = std::string(name) + ":";
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < head.size()) {
        size_t end = head.find('\n', start);
        end = end == std::string::npos ? head.size() : end + 1;
        const std::string line = head.substr(start, end - start);
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
        start = end;
    }
    return lines;
}

std::vector<std::string> RangeLines(const std::string& head) { return HeaderLines(head, "Range"); }

int TlsHelloCount() { return std::atoi(GetText(L"/tls-count").c_str()); }

} // namespace test
