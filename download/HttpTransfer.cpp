#include "download/HttpTransfer.h"

#include "download/HttpRequest.h"
#include "download/ResponseCheck.h"
#include "download/TaskMap.h"

#include <memory>
#include <new>

namespace {

using download::kEventFailed;
using download::kEventFinished;
using download::kEventPaused;
using download::kEventProgress;

// The five completions, request errors and redirects. MinGW's
// WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS also holds WINHTTP_CALLBACK_FLAG_GETPROXYFORURL_COMPLETE,
// which only WinHttpGetProxyForUrlEx sends: the transfer never asks for a proxy that way.
constexpr DWORD kNotifications =
    WINHTTP_CALLBACK_FLAG_SENDREQUEST_COMPLETE | WINHTTP_CALLBACK_FLAG_HEADERS_AVAILABLE |
    WINHTTP_CALLBACK_FLAG_DATA_AVAILABLE | WINHTTP_CALLBACK_FLAG_READ_COMPLETE |
    WINHTTP_CALLBACK_FLAG_WRITE_COMPLETE | WINHTTP_CALLBACK_FLAG_REQUEST_ERROR |
    WINHTTP_CALLBACK_FLAG_REDIRECT;
// The Range line (at most 38 characters) and the If-Range line with its validator.
constexpr size_t kRangeHeadersCapacity = 64 + download::ResumeValidator::kCapacity;

// The one end of every transfer: handles and file are closed before the task callback hears of
// the end, so that a finished file is complete and closed when the page learns of it. The record
// is freed here and nowhere else; the caller must not touch it afterwards.
void CloseDownload(DOWNLOADINFO* transfer, int32_t event) noexcept
{
    std::unique_ptr<DOWNLOADINFO> owned(transfer);
    if (owned->hRequest) {
        // No notification may reach the record once it is gone.
        ::WinHttpSetStatusCallback(owned->hRequest.Get(), nullptr, 0, 0);
        owned->hRequest.Reset();
    }
    owned->hConnect.Reset();
    owned->hOpen.Reset();
    owned->file.Reset();
    if (owned->pfnCallBack)
        owned->pfnCallBack(event, *owned);
}

// "Range: bytes=<length on disk>-", followed by "If-Range: <validator>" when the request names
// the version it continues, each line ending with CR LF; nothing (length 0) for a whole file.
DWORD BuildRangeHeaders(const DOWNLOADINFO& transfer,
                        wchar_t (&text)[kRangeHeadersCapacity]) noexcept
{
    if (transfer.ullOffset == 0)
        return 0;
    int length =
        ::wsprintfW(text, L"Range: bytes=%I64d-\r\n", static_cast<long long>(transfer.ullOffset));
    if (transfer.ifRange.GetKind() != download::ResumeValidator::Kind::None)
        length += ::wsprintfW(text + length, L"If-Range: %s\r\n", transfer.ifRange.Text());
    return static_cast<DWORD>(length);
}

// Opens the connection and the request and sends it. false when any step fails; true when
// WinHTTP has the request, after which the record belongs to the notifications.
bool SendRequest(DOWNLOADINFO& transfer, const download::HttpAddress& address) noexcept
{
    if (!download::OpenGetRequest(transfer.hOpen.Get(), address, transfer.hConnect,
                                  transfer.hRequest))
        return false;
    if (::WinHttpSetStatusCallback(transfer.hRequest.Get(), HttpStatusCallBack, kNotifications,
                                   0) != nullptr)
        return false;
    wchar_t range[kRangeHeadersCapacity] = {};
    const DWORD rangeLength = BuildRangeHeaders(transfer, range);
    return ::WinHttpSendRequest(transfer.hRequest.Get(),
                                rangeLength ? range : WINHTTP_NO_ADDITIONAL_HEADERS, rangeLength,
                                WINHTTP_NO_REQUEST_DATA, 0, 0,
                                reinterpret_cast<DWORD_PTR>(&transfer)) != FALSE;
}

// The body replaces the file: back to its start, and nothing of the old bytes left behind.
bool RestartFile(DOWNLOADINFO& transfer) noexcept
{
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(transfer.file.Get(), start, nullptr, FILE_BEGIN) &&
           ::SetEndOfFile(transfer.file.Get());
}

void OnHeadersAvailable(DOWNLOADINFO& transfer) noexcept
{
    HINTERNET request = transfer.hRequest.Get();
    const auto status = download::QueryStatusCode(request);
    if (!status)
        return CloseDownload(&transfer, kEventFailed);
    const download::ResponseHeader length(request, WINHTTP_QUERY_CONTENT_LENGTH);
    const download::ResponseHeader range(request, WINHTTP_QUERY_CONTENT_RANGE);
    const download::ResponseHeader eTag(request, WINHTTP_QUERY_ETAG);
    const download::ResponseHeader lastModified(request, WINHTTP_QUERY_LAST_MODIFIED);
    const download::ResponsePlan plan = download::PlanResponse(
        *status, {length.Text(), range.Text(), eTag.Text(), lastModified.Text()},
        transfer.ullOffset, transfer.ifRange);
    if (plan.action == download::ResponseAction::Fail)
        return CloseDownload(&transfer, kEventFailed);
    if (plan.restartFile && !RestartFile(transfer))
        return CloseDownload(&transfer, kEventFailed);
    // From here the file holds the version this answer names, and a resume names that one.
    if (plan.action == download::ResponseAction::ReadBody && transfer.pValidator)
        download::ReplaceValidator(*transfer.pValidator, plan.validator);
    transfer.ullOffset = plan.offset;
    transfer.ullTotal = plan.total;
    transfer.ullReceived = 0;
    if (plan.action == download::ResponseAction::Finish)
        return CloseDownload(&transfer, kEventFinished);
    if (!::WinHttpQueryDataAvailable(request, nullptr))
        CloseDownload(&transfer, kEventFailed);
}

// The body has ended. When the server announced the file's size and the file falls short of it
// (under Wine a connection dropped mid-body looks just like this), the transfer failed: the bytes
// that did arrive stay, and the next transfer resumes from them.
void OnBodyEnded(DOWNLOADINFO& transfer) noexcept
{
    const bool complete =
        transfer.ullTotal == 0 || transfer.ullOffset + transfer.ullReceived == transfer.ullTotal;
    CloseDownload(&transfer, complete ? kEventFinished : kEventFailed);
}

void OnDataAvailable(DOWNLOADINFO& transfer, DWORD available) noexcept
{
    if (available == 0)
        return OnBodyEnded(transfer);
    // Always a whole buffer's worth, whatever is available: WinHTTP hands over what it has.
    if (!::WinHttpReadData(transfer.hRequest.Get(), transfer.buffer.data(), download::kChunkSize,
                           nullptr))
        CloseDownload(&transfer, kEventFailed);
}

void OnReadComplete(DOWNLOADINFO& transfer, DWORD length) noexcept
{
    if (length == 0)
        return OnBodyEnded(transfer);
    DWORD written = 0;
    if (length > download::kChunkSize ||
        !::WriteFile(transfer.file.Get(), transfer.buffer.data(), length, &written, nullptr) ||
        written != length)
        return CloseDownload(&transfer, kEventFailed); // disk full, for instance
    transfer.ullReceived += length;
    if (transfer.pfnCallBack)
        transfer.pfnCallBack(kEventProgress, transfer);
    if (!::WinHttpQueryDataAvailable(transfer.hRequest.Get(), nullptr))
        CloseDownload(&transfer, kEventFailed);
}

[[nodiscard]] bool PauseRequested(const DOWNLOADINFO& transfer) noexcept
{
    return transfer.pnCommand &&
           download::ReadCommand(*transfer.pnCommand) == download::kCommandPause;
}

} // namespace

bool StartDownload(const wchar_t* url, const wchar_t* path, uint64_t taskId, TaskCallBack callBack,
                   int32_t* command, download::ResumeValidator* validator) noexcept
{
    std::unique_ptr<DOWNLOADINFO> transfer(new (std::nothrow) DOWNLOADINFO);
    if (!transfer)
        return false;
    transfer->ullTaskId = taskId;
    transfer->pfnCallBack = callBack;
    transfer->pnCommand = command;
    // The address first: one that cannot be taken apart fails before any file is made.
    const auto address = download::CrackHttpAddress(url);
    if (!address) {
        CloseDownload(transfer.release(), kEventFailed);
        return true;
    }
    transfer->file.Reset(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!transfer->file)
        return false;
    LARGE_INTEGER length{};
    LARGE_INTEGER end{};
    if (!::GetFileSizeEx(transfer->file.Get(), &length) ||
        !::SetFilePointerEx(transfer->file.Get(), end, nullptr, FILE_END))
        return false;
    transfer->ullOffset = static_cast<uint64_t>(length.QuadPart);
    transfer->pValidator = validator;
    if (validator && transfer->ullOffset > 0)
        transfer->ifRange = download::ReadValidator(*validator);
    transfer->hOpen = download::OpenHttpSession(WINHTTP_FLAG_ASYNC);
    if (!transfer->hOpen)
        return false;
    // From here on every outcome is an event. Once WinHTTP has the request its notifications
    // own the record, and may already have ended the transfer before the send call returns.
    DOWNLOADINFO* record = transfer.release();
    if (!SendRequest(*record, *address))
        CloseDownload(record, kEventFailed);
    return true;
}

void CALLBACK HttpStatusCallBack(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                 DWORD length) noexcept
{
    auto* transfer = reinterpret_cast<DOWNLOADINFO*>(context);
    if (!transfer)
        return;
    // A redirect is reported while WinHTTP is still busy with the request; the transfer waits for
    // that step to complete before it acts, a pause request included.
    if (status == WINHTTP_CALLBACK_STATUS_REDIRECT)
        return;
    // Each action below either issues the next asynchronous step or ends the transfer; WinHTTP
    // may deliver the next notification from inside that call, so nothing touches the record
    // after it.
    if (PauseRequested(*transfer))
        return CloseDownload(transfer, kEventPaused); // the piece just read is not written
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!::WinHttpReceiveResponse(transfer->hRequest.Get(), nullptr))
            CloseDownload(transfer, kEventFailed);
        return;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        return OnHeadersAvailable(*transfer);
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        return OnDataAvailable(*transfer, information ? *static_cast<DWORD*>(information) : 0);
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        return OnReadComplete(*transfer, length);
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        return CloseDownload(transfer, kEventFailed);
    default:
        return;
    }
}
