#include "download/HttpRequest.h"

#include "download/ResponseHeaders.h"

#include <algorithm>
#include <climits>

namespace download {
namespace {

// The user agent of every request the tool makes.
constexpr wchar_t kUserAgent[] = L"MSIE";
// The longest DNS name is 253 characters; a longer host can only fail later, on another thread.
constexpr DWORD kMaxHostNameLength = 255;
// Asks WinHttpCrackUrl for a pointer into the address rather than a copy.
constexpr DWORD kPointIntoUrl = static_cast<DWORD>(-1);

} // namespace

std::optional<HttpAddress> CrackHttpAddress(std::wstring_view url) noexcept
{
    try {
        const std::wstring text(url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof(parts);
        parts.dwHostNameLength = kPointIntoUrl;
        parts.dwUrlPathLength = kPointIntoUrl;
        parts.dwExtraInfoLength = kPointIntoUrl;
        if (!::WinHttpCrackUrl(text.c_str(), 0, 0, &parts) || !parts.lpszHostName ||
            parts.dwHostNameLength == 0 || parts.dwHostNameLength > kMaxHostNameLength)
            return std::nullopt;
        if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
            return std::nullopt;
        HttpAddress address;
        address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
        address.port = parts.nPort;
        address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
        if (parts.lpszUrlPath)
            address.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
        if (parts.lpszExtraInfo)
            address.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (address.object.empty())
            address.object = L"/";
        return address;
    } catch (...) {
        return std::nullopt;
    }
}

UniqueInternet OpenHttpSession(DWORD flags) noexcept
{
    return UniqueInternet(::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, flags));
}

UniqueInternet ConnectTo(HINTERNET session, const HttpAddress& address) noexcept
{
    return UniqueInternet(::WinHttpConnect(session, address.host.c_str(), address.port, 0));
}

UniqueInternet OpenGet(HINTERNET connection, const HttpAddress& address) noexcept
{
    return UniqueInternet(::WinHttpOpenRequest(connection, L"GET", address.object.c_str(), nullptr,
                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                               address.secure ? WINHTTP_FLAG_SECURE : 0));
}

bool OpenGetRequest(HINTERNET session, const HttpAddress& address, UniqueInternet& connection,
                    UniqueInternet& request) noexcept
{
    connection = ConnectTo(session, address);
    if (connection)
        request = OpenGet(connection.Get(), address);
    if (!request)
        connection.Reset();
    return static_cast<bool>(request);
}

bool SetRequestTimeouts(HINTERNET request, DWORD milliseconds) noexcept
{
    // WinHttpSetTimeouts leaves out the wait for the headers, whose own default is 90 s.
    const int each = static_cast<int>(std::min<DWORD>(milliseconds, INT_MAX));
    return ::WinHttpSetTimeouts(request, each, each, each, each) &&
           ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &milliseconds,
                              sizeof(milliseconds));
}

std::optional<DWORD> QueryStatusCode(HINTERNET request) noexcept
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX))
        return std::nullopt;
    return status;
}

ResponseHeader::ResponseHeader(HINTERNET request, DWORD query) noexcept
{
    DWORD bytes = sizeof(m_text);
    if (::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, m_text, &bytes,
                              WINHTTP_NO_HEADER_INDEX))
        m_view = std::wstring_view(m_text, bytes / sizeof(wchar_t));
    else if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        m_view = std::wstring_view();
}

std::optional<std::wstring_view> ResponseHeader::Text() const noexcept { return m_view; }

std::optional<uint64_t> QueryContentLength(HINTERNET request) noexcept
{
    const ResponseHeader header(request, WINHTTP_QUERY_CONTENT_LENGTH);
    const auto text = header.Text();
    return text ? ParseContentLength(*text) : std::nullopt;
}

} // namespace download
