#include "app/UpdaterFetch.h"

#include "base/TemporaryFile.h"
#include "download/HttpRequest.h"
#include "settings/Paths.h"

#include <vector>

namespace app {
namespace {

constexpr wchar_t kTempPrefix[] = L"upd";
// Big reads keep the UI thread's wait short; memory does not grow with the file.
constexpr DWORD kReadSize = 64 * 1024;

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
    TemporaryFile file;
    if (folder.empty() || !file.CreateIn(folder, kTempPrefix))
        return FetchResult::WriteFailed;
    const FetchResult result = Receive(request.Get(), *announced, file);
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
                         const FetchedFileCheck& check) noexcept
{
    try {
        return Fetch(url, target, check);
    } catch (...) {
        return FetchResult::WriteFailed;
    }
}

} // namespace app
