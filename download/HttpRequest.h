#pragma once
// The WinHTTP side of a GET, shared by the downloads and the updater fetch: the address taken
// apart, the session and request opened, and the status and headers of the response read.
// Nothing here throws or keeps state; any thread may call it.
#include "base/WinHttp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace download {

// An http or https address taken apart for WinHttpConnect and WinHttpOpenRequest.
struct HttpAddress {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object; // the path with the query; "/" when the address has no path
    bool secure = false; // https
};

// Nothing for text that WinHTTP cannot take apart, for another scheme, and for a host that is
// missing or longer than a DNS name can be.
[[nodiscard]] std::optional<HttpAddress> CrackHttpAddress(std::wstring_view url) noexcept;

// A session as the tool opens them: its user agent and the system's proxy settings. flags is 0
// for synchronous calls or WINHTTP_FLAG_ASYNC.
[[nodiscard]] UniqueInternet OpenHttpSession(DWORD flags) noexcept;

// The connection to the address's server; empty when it cannot be opened.
[[nodiscard]] UniqueInternet ConnectTo(HINTERNET session, const HttpAddress& address) noexcept;
// A GET request for the address's object on that connection; empty when it cannot be opened.
[[nodiscard]] UniqueInternet OpenGet(HINTERNET connection, const HttpAddress& address) noexcept;
// Both at once; false, with both owners empty, when either cannot be opened.
[[nodiscard]] bool OpenGetRequest(HINTERNET session, const HttpAddress& address,
                                  UniqueInternet& connection, UniqueInternet& request) noexcept;

// Bounds every wait of the request to `milliseconds` (1 or more; 0 would mean no bound): resolving
// the name, connecting, sending, the response's headers as a whole, and each wait for its data.
// Takes effect from the request's next call on. False when WinHTTP refuses one.
[[nodiscard]] bool SetRequestTimeouts(HINTERNET request, DWORD milliseconds) noexcept;

// The response's status code; nothing when it cannot be read.
[[nodiscard]] std::optional<DWORD> QueryStatusCode(HINTERNET request) noexcept;

// One response header's text, read into a buffer of its own (no allocation: WinHTTP's worker
// threads read headers too). Not copied, since the view points into it.
class ResponseHeader {
public:
    // query: a WINHTTP_QUERY_ value such as WINHTTP_QUERY_CONTENT_RANGE.
    ResponseHeader(HINTERNET request, DWORD query) noexcept;
    ResponseHeader(const ResponseHeader&) = delete;
    ResponseHeader& operator=(const ResponseHeader&) = delete;

    // Nothing when the server did not send the header; an empty view, which no parser accepts,
    // when the text is too long for the buffer.
    [[nodiscard]] std::optional<std::wstring_view> Text() const noexcept;

private:
    // Sizes and ranges fit many times over: a longer text is no size.
    static constexpr DWORD kCapacity = 128;
    wchar_t m_text[kCapacity];
    std::optional<std::wstring_view> m_view;
};

// The Content-Length as a 64-bit number; nothing when it was not sent or is no size.
[[nodiscard]] std::optional<uint64_t> QueryContentLength(HINTERNET request) noexcept;

} // namespace download
