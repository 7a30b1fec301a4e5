#include "tests/support/LoopbackServer.h"

#include "base/Win.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>

namespace test {

ServerPorts Servers()
{
    ServerPorts ports;
    std::istringstream(ReadFileBytes(ServerFolder() + L"ports.txt")) >> ports.http >> ports.https >>
        ports.nginx;
    return ports;
}

// Set by the build as a Unix path; Wine maps the Unix root to drive Z: and takes either slash.
std::wstring ServerFolder() { return L"Z:" + Wide(QUIB_SERVER_FOLDER) + L"\\"; }

std::string UniqueToken()
{
    static std::atomic<unsigned> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name() + "-" +
           std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

std::wstring ServerUrl(const std::string& path, bool tls)
{
    return (tls ? L"https://127.0.0.1:" + std::to_wstring(Servers().https)
                : L"http://127.0.0.1:" + std::to_wstring(Servers().http)) +
           L"/" + Wide(path);
}

std::string PatternBytes(uint64_t first, uint64_t end, unsigned version)
{
    std::string bytes;
    for (uint64_t i = first; i < end; ++i)
        bytes.push_back(static_cast<char>((i % 251) ^ ((i / 251) & 255) ^ version));
    return bytes;
}

std::vector<std::string> RecordedRequests(const std::string& token)
{
    const std::string log = ReadFileBytes(ServerFolder() + L"log\\" + Wide(token));
    std::vector<std::string> heads;
    for (size_t start = 0, end; (end = log.find("\r\n\r\n", start)) != std::string::npos;
         start = end + 4)
        heads.push_back(log.substr(start, end + 4 - start));
    return heads;
}

std::vector<std::string> HeaderLines(const std::string& head, std::string_view name)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < head.size(); start = end) {
        end = std::min(head.find('\n', start), head.size() - 1) + 1;
        if (head.compare(start, name.size() + 1, std::string(name) + ":") == 0)
            lines.push_back(head.substr(start, end - start));
    }
    return lines;
}

int TlsHelloCount()
{
    return static_cast<int>(ReadFileBytes(ServerFolder() + L"tls-hellos").size());
}

} // namespace test
