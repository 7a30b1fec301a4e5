#include "app/UpdaterFetch.h"

#include "base/Unique.h"
#include "settings/Paths.h"

#include <winhttp.h>

#include <cwchar>
#include <vector>

namespace app {
namespace {

struct WinHttpTraits {
    using Handle = HINTERNET;
    static HINTERNET Empty() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { ::WinHttpCloseHandle(h); }
};
using WinHttpHandle = Unique<WinHttpTraits>;

constexpr wchar_t kUserAgent[] = L"MSIE";
constexpr wchar_t kTempPrefix[] = L"upd";
// Big reads keep the UI thread's wait short; memory does not grow with the file.
constexpr DWORD kReadSize = 64 * 1024;

// A file that is deleted unless it is kept: every failure leaves nothing behind.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) noexcept : m_path(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        m_file.Reset();
        if (!m_path.empty())
            ::DeleteFileW(m_path.c_str());
    }
    [[nodiscard]] bool Open() noexcept
    {
        m_file.Reset(::CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(m_file);
    }
    [[nodiscard]] bool Write(const char* bytes, DWORD count) noexcept
    {
        DWORD written = 0;
        return ::WriteFile(m_file.Get(), bytes, count, &written, nullptr) && written == count;
    }
    // Writes the file out and closes it, so that it can be checked and renamed.
    [[nodiscard]] bool Close() noexcept
    {
        const bool flushed = ::FlushFileBuffers(m_file.Get()) != FALSE;
        m_file.Reset();
        return flushed;
    }
    [[nodiscard]] const std::wstring& Path() const noexcept { return m_path; }
    // Renames the closed file; on success it is no longer deleted.
    [[nodiscard]] bool MoveTo(const std::wstring& target) noexcept
    {
        if (!::MoveFileExW(m_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
        m_path.clear();
        return true;
    }

private:
    std::wstring m_path;
    UniqueFile m_file;
};

struct Address {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object; // path and query
    bool secure = false;
};

bool CrackAddress(std::wstring_view url, Address& address)
{
    const std::wstring text(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(text.c_str(), 0, 0, &parts) || !parts.lpszHostName ||
        parts.dwHostNameLength == 0)
        return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    address.port = parts.nPort;
    address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.lpszUrlPath)
        address.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        address.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (address.object.empty())
        address.object = L"/";
    return true;
}

DWORD QueryStatus(HINTERNET request) noexcept
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
}

// The header as text, empty when the server sent none.
std::wstring QueryText(HINTERNET request, DWORD header)
{
    wchar_t buffer[64] = {};
    DWORD size = sizeof(buffer);
    if (!::WinHttpQueryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, buffer, &size,
                               WINHTTP_NO_HEADER_INDEX))
        return {};
    return std::wstring(buffer, size / sizeof(wchar_t));
}

// The body's announced length, read as text so that files of 4 GiB and more are measured right;
// false when the server announced none. Only a length lets the end of the body be checked: a
// body that ends with the connection cannot be told from a cut-off one, and WinHTTP was seen
// (under Wine) to end a chunked body that lost its last chunk as cleanly as a whole one.
bool QueryAnnouncedLength(HINTERNET request, unsigned long long& length)
{
    const std::wstring text = QueryText(request, WINHTTP_QUERY_CONTENT_LENGTH);
    if (text.empty() || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    wchar_t* end = nullptr;
    length = std::wcstoull(text.c_str(), &end, 10);
    return end && *end == L'\0';
}

FetchResult Receive(HINTERNET request, unsigned long long announced, TemporaryFile& file)
{
    std::vector<char> buffer(kReadSize);
    unsigned long long received = 0;
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request, buffer.data(), kReadSize, &read))
            return FetchResult::Incomplete;
        if (read == 0)
            break;
        if (!file.Write(buffer.data(), read))
            return FetchResult::WriteFailed;
        received += read;
    }
    // A connection dropped midway ends the body like a normal end: only the count tells.
    return received == announced ? FetchResult::Saved : FetchResult::Incomplete;
}

FetchResult Fetch(std::wstring_view url, const std::wstring& target, const FetchedFileCheck& check)
{
    Address address;
    if (!CrackAddress(url, address))
        return FetchResult::BadAddress;
    WinHttpHandle session(::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    WinHttpHandle connection(
        session ? ::WinHttpConnect(session.Get(), address.host.c_str(), address.port, 0) : nullptr);
    WinHttpHandle request(
        connection ? ::WinHttpOpenRequest(connection.Get(), L"GET", address.object.c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          address.secure ? WINHTTP_FLAG_SECURE : 0)
                   : nullptr);
    if (!request ||
        !::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return FetchResult::NoConnection;
    if (QueryStatus(request.Get()) != HTTP_STATUS_OK)
        return FetchResult::BadStatus;
    unsigned long long announced = 0;
    // An empty body is no program either.
    if (!QueryAnnouncedLength(request.Get(), announced) || announced == 0)
        return FetchResult::Incomplete;

    // Beside the target, so that the final rename stays within one volume.
    const std::wstring folder = settings::GetParentPath(target, true);
    wchar_t tempName[MAX_PATH] = {};
    if (folder.empty() || !::GetTempFileNameW(folder.c_str(), kTempPrefix, 0, tempName))
        return FetchResult::WriteFailed;
    TemporaryFile file(tempName);
    if (!file.Open())
        return FetchResult::WriteFailed;
    const FetchResult result = Receive(request.Get(), announced, file);
    if (result != FetchResult::Saved)
        return result;
    if (!file.Close())
        return FetchResult::WriteFailed;
    // Checked under its temporary name: a refused file must never be found as the updater.
    if (!check || !check(file.Path()))
        return FetchResult::Refused;
    return file.MoveTo(target) ? FetchResult::Saved : FetchResult::WriteFailed;
}

} // namespace

FetchResult FetchUpdater(std::wstring_view url, const std::wstring& target,
                         const FetchedFileCheck& check) noexcept
{
    try {
        return Fetch(url, target, check);
    } catch (...) {
        return FetchResult::WriteFailed;
    }
}

} // namespace app
