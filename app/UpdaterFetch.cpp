#include "app/UpdaterFetch.h"

#include "base/Paths.h"
#include "base/TemporaryFile.h"
#include "download/HttpRequest.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace app {
namespace {

constexpr wchar_t kTempPrefix[] = L"upd";
// Big reads keep the UI thread's wait short; memory does not grow with the file.
constexpr DWORD kReadSize = 64 * 1024;

// The end of the whole fetch. Each wait of WinHTTP gets a step's time-out, or what is left of
// the whole when that is less, so that no wait runs past the end: a server that trickles a
// byte now and then never lets a single wait time out, and would hold the fetch for ever.
class Deadline {
public:
    explicit Deadline(const FetchLimits& limits) noexcept
        : m_stepMs(limits.stepTimeoutMs), m_end(::GetTickCount64() + limits.wholeFetchMs)
    {
    }

    // Bounds the request's next wait; false once the time is up, with ERROR_WINHTTP_TIMEOUT as
    // the last error like a wait that ran out.
    [[nodiscard]] bool Arm(HINTERNET request) const noexcept
    {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= m_end) {
            ::SetLastError(ERROR_WINHTTP_TIMEOUT);
            return false;
        }
        const ULONGLONG wait = std::min<ULONGLONG>(m_stepMs, m_end - now);
        return download::SetRequestTimeouts(request, static_cast<DWORD>(std::max(wait, 1ull)));
    }

private:
    DWORD m_stepMs;
    ULONGLONG m_end;
};

// What a failed WinHTTP call or deadline means, read from the last error straight after it.
// Windows reports a wait that ran out as ERROR_WINHTTP_TIMEOUT; Wine mostly passes on the
// socket's WSAETIMEDOUT.
FetchResult Failed(FetchResult otherwise) noexcept
{
    const DWORD error = ::GetLastError();
    return error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT ? FetchResult::TimedOut
                                                                   : otherwise;
}

FetchResult Receive(HINTERNET request, const Deadline& deadline, uint64_t announced,
                    TemporaryFile& file)
{
    std::vector<char> buffer(kReadSize);
    uint64_t received = 0;
    for (;;) {
        // Only the wait for data blocks, and the deadline bounds it; reading what has arrived
        // returns at once.
        DWORD available = 0;
        if (!deadline.Arm(request) || !::WinHttpQueryDataAvailable(request, &available))
            return Failed(FetchResult::Incomplete);
        if (available == 0)
            break;
        DWORD read = 0;
        if (!::WinHttpReadData(request, buffer.data(), std::min(available, kReadSize), &read))
            return Failed(FetchResult::Incomplete);
        // The size limit was checked on the announced length: a body that grows past it is
        // refused before it is written.
        if (read > announced - received)
            return FetchResult::TooLarge;
        if (!file.Write(buffer.data(), read))
            return FetchResult::WriteFailed;
        received += read;
    }
    // A connection dropped midway ends the body like a normal end: only the count tells.
    return received == announced ? FetchResult::Saved : FetchResult::Incomplete;
}

// Sends the GET and waits for the response's headers: why that failed, or nothing once they are
// in.
std::optional<FetchResult> Request(const download::HttpAddress& address, const Deadline& deadline,
                                   UniqueInternet& session, UniqueInternet& connection,
                                   UniqueInternet& request)
{
    session = download::OpenHttpSession(0);
    if (!session || !download::OpenGetRequest(session.Get(), address, connection, request))
        return FetchResult::NoConnection;
    if (!deadline.Arm(request.Get()) ||
        !::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return Failed(FetchResult::NoConnection);
    if (!deadline.Arm(request.Get()) || !::WinHttpReceiveResponse(request.Get(), nullptr))
        return Failed(FetchResult::NoConnection);
    return std::nullopt;
}

FetchResult Fetch(std::wstring_view url, const std::wstring& target, const FetchedFileCheck& check,
                  const FetchLimits& limits)
{
    const Deadline deadline(limits);
    const auto address = download::CrackHttpAddress(url);
    if (!address)
        return FetchResult::BadAddress;
    UniqueInternet session;
    UniqueInternet connection;
    UniqueInternet request;
    if (const auto failed = Request(*address, deadline, session, connection, request))
        return *failed;
    if (download::QueryStatusCode(request.Get()) != HTTP_STATUS_OK)
        return FetchResult::BadStatus;
    // Only an announced length lets the end of the body be checked: a body that ends with the
    // connection cannot be told from a cut-off one, and WinHTTP was seen (under Wine) to end a
    // chunked body that lost its last chunk as cleanly as a whole one. An empty body is no
    // program either.
    const auto announced = download::QueryContentLength(request.Get());
    if (!announced || *announced == 0)
        return FetchResult::Incomplete;
    if (*announced > limits.maxBytes)
        return FetchResult::TooLarge;

    // Beside the target, so that the final rename stays within one volume.
    const std::wstring folder = paths::GetParentPath(target, true);
    TemporaryFile file;
    if (folder.empty() || !file.CreateIn(folder, kTempPrefix))
        return FetchResult::WriteFailed;
    const FetchResult result = Receive(request.Get(), deadline, *announced, file);
    if (result != FetchResult::Saved)
        return result;
    if (!file.Flush())
        return FetchResult::WriteFailed;
    file.Close();
    // Checked under its temporary name: a refused file must never be found as the updater.
    if (!check || !check(file.Path()))
        return FetchResult::Refused;
    return file.MoveTo(target) ? FetchResult::Saved : FetchResult::WriteFailed;
}

} // namespace

FetchResult FetchUpdater(std::wstring_view url, const std::wstring& target,
                         const FetchedFileCheck& check, const FetchLimits& limits) noexcept
{
    try {
        return Fetch(url, target, check, limits);
    } catch (...) {
        return FetchResult::WriteFailed;
    }
}

} // namespace app
