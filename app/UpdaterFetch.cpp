#include "app/UpdaterFetch.h"

#include "base/Unique.h"
#include "download/HttpRequest.h"
#include "settings/Paths.h"

#include <vector>

namespace app {
namespace {

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
    // Closes the file and renames it; on success it is no longer deleted.
    [[nodiscard]] bool MoveTo(const std::wstring& target) noexcept
    {
        const bool flushed = ::FlushFileBuffers(m_file.Get()) != FALSE;
        m_file.Reset();
        if (!flushed || !::MoveFileExW(m_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
        m_path.clear();
        return true;
    }

private:
    std::wstring m_path;
    UniqueFile m_file;
};

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

FetchResult Fetch(std::wstring_view url, const std::wstring& target)
{
    const auto address = download::CrackHttpAddress(url);
    if (!address)
        return FetchResult::BadAddress;
    const UniqueInternet session = download::OpenHttpSession(0);
    UniqueInternet connection;
    UniqueInternet request;
    if (!session || !download::OpenGetRequest(session.Get(), *address, connection, request) ||
        !::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return FetchResult::NoConnection;
    if (download::QueryStatusCode(request.Get()) != HTTP_STATUS_OK)
        return FetchResult::BadStatus;
    // Only an announced length lets the end of the body be checked: a body that ends with the
    // connection cannot be told from a cut-off one, and WinHTTP was seen (under Wine) to end a
    // chunked body that lost its last chunk as cleanly as a whole one. An empty body is no
    // program either.
    const auto announced = download::QueryContentLength(request.Get());
    if (!announced || *announced == 0)
        return FetchResult::Incomplete;

    // Beside the target, so that the final rename stays within one volume.
    const std::wstring folder = settings::GetParentPath(target, true);
    wchar_t tempName[MAX_PATH] = {};
    if (folder.empty() || !::GetTempFileNameW(folder.c_str(), kTempPrefix, 0, tempName))
        return FetchResult::WriteFailed;
    TemporaryFile file(tempName);
    if (!file.Open())
        return FetchResult::WriteFailed;
    const FetchResult result = Receive(request.Get(), *announced, file);
    if (result != FetchResult::Saved)
        return result;
    return file.MoveTo(target) ? FetchResult::Saved : FetchResult::WriteFailed;
}

} // namespace

FetchResult FetchUpdater(std::wstring_view url, const std::wstring& target) noexcept
{
    try {
        return Fetch(url, target);
    } catch (...) {
        return FetchResult::WriteFailed;
    }
}

} // namespace app
