#pragma once
// The tests' side of the loopback servers (loopback_server.py), which CTest starts before the
// first test program that names them (quib_test's SERVERS) and stops after the last. A test takes
// a token of its own, asks for the answers it wants under it and reads back what was received.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace test {

struct ServerPorts {
    int http = 0, https = 0, nginx = 0;
};
// The running servers; the ports are 0 when CTest did not start them.
[[nodiscard]] ServerPorts Servers();
// The servers' folder as a Windows path, ending with '\': nginx serves its www folder, the mode
// "given" serves given\<token>.
[[nodiscard]] std::wstring ServerFolder();
// A path prefix of this test's own, so that the records of tests running side by side stay apart.
[[nodiscard]] std::string UniqueToken();
// http(s)://127.0.0.1:<port>/<path>, the path being <token>/<mode>[/<size>[/<extra>]][?options].
[[nodiscard]] std::wstring ServerUrl(const std::string& path, bool tls = false);

// Bytes first..end-1 of every file the server makes up, of the given version.
[[nodiscard]] std::string PatternBytes(uint64_t first, uint64_t end, unsigned version = 0);
// The raw heads of the requests received under the token, in order.
[[nodiscard]] std::vector<std::string> RecordedRequests(const std::string& token);
// Every line of a raw request head with the header named (e.g. "Range"), CR LF included.
[[nodiscard]] std::vector<std::string> HeaderLines(const std::string& head, std::string_view name);
// How many TLS client hellos the https server has seen so far.
[[nodiscard]] int TlsHelloCount();

} // namespace test
