#include "app/UpdaterFetch.h"

#include "app/RequestWatch.h"
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

using Outcome = RequestWatch::Outcome;

// What a wait that did not end well means. WinHTTP's own time-out, which bounds a server that
// sends nothing at all, is one of the watch's limits too: Windows reports it as
// ERROR_WINHTTP_TIMEOUT, Wine mostly passes on the socket's WSAETIMEDOUT.
FetchResult Failed(Outcome outcome, FetchResult otherwise) noexcept
{
    const DWORD error = ::GetLastError();
    return outcome == Outcome::TimedOut || error == ERROR_WINHTTP_TIMEOUT ||
                   error == WSAETIMEDOUT
               ? FetchResult::TimedOut
               : otherwise;
}

FetchResult Receive(RequestWatch& watch, uint64_t announced, TemporaryFile& file)
{
    std::vector<char> buffer(kReadSize);
    uint64_t received = 0;
    for (;;) {
        DWORD available = 0;
        Outcome outcome = watch.Wait(
            [&](HINTERNET request) { return ::WinHttpQueryDataAvailable(request, &available); });
        if (outcome != Outcome::Done)
            return Failed(outcome, FetchResult::Incomplete);
        if (available == 0)
            break;
        DWORD read = 0;
        outcome = watch.Wait([&](HINTERNET request) {
            return ::WinHttpReadData(request, buffer.data(), std::min(available, kReadSize), &read);
        });
        if (outcome != Outcome::Done)
            return Failed(outcome, FetchResult::Incomplete);
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

// Sends the GET and waits for the whole block of the response's headers: why that failed, or
// nothing once they are in.
std::optional<FetchResult> Request(RequestWatch& watch)
{
    Outcome outcome = watch.Wait([](HINTERNET request) {
        return ::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                    WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
    });
    if (outcome == Outcome::Done)
        outcome = watch.Wait(
            [](HINTERNET request) { return ::WinHttpReceiveResponse(request, nullptr); });
    if (outcome != Outcome::Done)
        return Failed(outcome, FetchResult::NoConnection);
    return std::nullopt;
}

// Receives the body into a temporary file beside the target, which takes the target's name
// only when it is whole and passes the check.
FetchResult Save(RequestWatch& watch, uint64_t announced, const std::wstring& target,
                 const FetchedFileCheck& check)
{
    // Beside the target, so that the final rename stays within one volume.
    const std::wstring folder = paths::GetParentPath(target, true);
    TemporaryFile file;
    if (folder.empty() || !file.CreateIn(folder, kTempPrefix))
        return FetchResult::WriteFailed;
    const FetchResult result = Receive(watch, announced, file);
    if (result != FetchResult::Saved)
        return result;
    // Checked under its temporary name through a handle that lets nobody change, rename or
    // delete it, and renamed through that handle: what was checked is what takes the name, and
    // a refused file is never found as the updater.
    if (!file.Flush() || !file.ReopenForReading())
        return FetchResult::WriteFailed;
    if (!check || !check(file.File(), file.Path()))
        return FetchResult::Refused;
    return file.RenameTo(target) ? FetchResult::Saved : FetchResult::WriteFailed;
}

FetchResult Fetch(std::wstring_view url, const std::wstring& target, const FetchedFileCheck& check,
                  const FetchLimits& limits)
{
    const auto address = download::CrackHttpAddress(url);
    if (!address)
        return FetchResult::BadAddress;
    UniqueInternet session = download::OpenHttpSession(0);
    UniqueInternet connection;
    UniqueInternet request;
    if (!session || !download::OpenGetRequest(session.Get(), *address, connection, request))
        return FetchResult::NoConnection;
    // Declared after the connection and the session, so that the request goes first.
    RequestWatch watch(std::move(request), limits.stepTimeoutMs, limits.wholeFetchMs);
    if (!watch)
        return FetchResult::NoConnection;
    if (const auto failed = Request(watch))
        return *failed;
    if (download::QueryStatusCode(watch.Request()) != HTTP_STATUS_OK)
        return FetchResult::BadStatus;
    // Only an announced length lets the end of the body be checked: a body that ends with the
    // connection cannot be told from a cut-off one, and WinHTTP was seen (under Wine) to end a
    // chunked body that lost its last chunk as cleanly as a whole one. An empty body is no
    // program either.
    const auto announced = download::QueryContentLength(watch.Request());
    if (!announced || *announced == 0)
        return FetchResult::Incomplete;
    if (*announced > limits.maxBytes)
        return FetchResult::TooLarge;
    return Save(watch, *announced, target, check);
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
