#pragma once
// The tests' side of the loopback servers (tests/support/loopback_server.py), which CTest starts
// before the first test program that names them (quib_test's SERVERS) and stops after the last.
// A test takes a token of its own, builds the addresses of the answers it wants from it (a
// mode per kind of answer), and reads back what the server received under it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace test {

struct ServerPorts {
    int http = 0;
    int https = 0;
    int nginx = 0;
};
// The running servers; the ports are 0 when CTest did not start them.
[[nodiscard]] const ServerPorts& Servers();
// The servers' folder as a Windows path, ending with '\' (nginx serves its www folder).
[[nodiscard]] std::wstring ServerFolder();

// A path prefix of this test's own, so that the server's records of tests running side by side
// stay apart.
[[nodiscard]] std::string UniqueToken();
// http://127.0.0.1:<port>/<token>/<mode>/<size>[/<extra>]: the server's answer is chosen by mode.
[[nodiscard]] std::wstring CaseUrl(const std::string& token, const std::string& mode,
                                   uint64_t size = 0, int64_t extra = -1, bool tls = false);
// Puts the file that the mode "given" serves whole for the token.
[[nodiscard]] bool GiveFile(const std::string& token, std::string_view bytes);

// Bytes first..end-1 of every file the server makes up; of the given version of a versioned one.
[[nodiscard]] std::string PatternBytes(uint64_t first, uint64_t end, unsigned version = 0);

// The raw heads of the requests the server received under the token, in order.
[[nodiscard]] std::vector<std::string> RecordedRequests(const std::string& token);
// The request lines ("GET /path HTTP/1.1") of the same requests.
[[nodiscard]] std::vector<std::string> RecordedRequestLines(const std::string& token);
// Every line of a raw request head with the header named (e.g. "If-Range"), CR LF included.
[[nodiscard]] std::vector<std::string> HeaderLines(const std::string& head, std::string_view name);
// Every "Range:" line of a raw request head, CR LF included.
[[nodiscard]] std::vector<std::string> RangeLines(const std::string& head);
// How many TLS client hellos the https server has seen so far.
[[nodiscard]] int TlsHelloCount();

} // namespace test
