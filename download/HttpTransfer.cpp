#include "download/HttpTransfer.h"

#include "base/Paths.h"
#include "download/ResponseCheck.h"
#include "download/TransferFile.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

using download::kChunkSize;
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
    download::CloseTransferFile(*owned, event);
    if (owned->pfnCallBack)
        owned->pfnCallBack(event, *owned);
}

// Bounds the wait that the next call starts by what is left of the server's time. WinHTTP is
// told again only when that is less by more than kArmSlackMs than what it was last told: while
// whole pieces keep coming it stays the whole limit, and the calls cost time on every piece.
[[nodiscard]] bool ArmWait(DOWNLOADINFO& transfer) noexcept
{
    constexpr DWORD kArmSlackMs = 100;
    const DWORD left = transfer.clock.Left();
    if (left <= transfer.armedMs && left + kArmSlackMs > transfer.armedMs)
        return true;
    transfer.armedMs = left;
    return download::SetRequestTimeouts(transfer.hRequest.Get(), left);
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
    if (transfer.ifRange.Known())
        length +=
            ::wsprintfW(text + length, L"If-Range: %s\r\n", transfer.ifRange.IfRange().Text());
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
    transfer.clock.Restart();
    return ArmWait(transfer) &&
           ::WinHttpSendRequest(transfer.hRequest.Get(),
                                rangeLength ? range : WINHTTP_NO_ADDITIONAL_HEADERS, rangeLength,
                                WINHTTP_NO_REQUEST_DATA, 0, 0,
                                reinterpret_cast<DWORD_PTR>(&transfer)) != FALSE;
}

// Waits for the next piece of the body, or its end.
void QueryData(DOWNLOADINFO& transfer) noexcept
{
    if (!ArmWait(transfer) || !::WinHttpQueryDataAvailable(transfer.hRequest.Get(), nullptr))
        CloseDownload(&transfer, kEventFailed);
}

// An accepted body must find room on the volume before its first byte, less a reserve for the
// player's other programs: all of it when its length is announced, else piece by piece.
[[nodiscard]] bool ClaimRoom(DOWNLOADINFO& transfer,
                             const std::optional<uint64_t>& bodyLength) noexcept
{
    transfer.claimEachPiece = !bodyLength;
    return !bodyLength || transfer.room.Claim(*bodyLength);
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
    if (plan.action == download::ResponseAction::Fail ||
        (plan.action == download::ResponseAction::ReadBody &&
         !ClaimRoom(transfer, plan.bodyLength)))
        return CloseDownload(&transfer, kEventFailed);
    transfer.restartFile = plan.restartFile;
    transfer.version = plan.version;
    transfer.ullBodyLeft = plan.bodyLength.value_or(transfer.ullBodyLeft);
    transfer.ullOffset = plan.offset;
    transfer.ullTotal = plan.total;
    transfer.ullReceived = 0;
    if (plan.action == download::ResponseAction::Finish)
        return CloseDownload(&transfer, kEventFinished);
    transfer.clock.Restart();
    QueryData(transfer);
}

// Writes the piece gathered in the buffer and tells the task. False when it could not be written.
[[nodiscard]] bool FlushPiece(DOWNLOADINFO& transfer) noexcept
{
    const DWORD length = transfer.filled;
    if ((transfer.claimEachPiece && !transfer.room.Claim(length)) ||
        !download::WritePiece(transfer, length))
        return false; // disk full, for instance
    transfer.filled = 0;
    transfer.ullReceived += length;
    if (transfer.pfnCallBack)
        transfer.pfnCallBack(kEventProgress, transfer);
    return true;
}

// The body has ended. When the server announced the file's size and the file falls short of it
// (under Wine a connection dropped mid-body looks just like this), the transfer failed: the bytes
// that did arrive stay, and the next transfer resumes from them.
void OnBodyEnded(DOWNLOADINFO& transfer) noexcept
{
    if (transfer.filled > 0 && !FlushPiece(transfer))
        return CloseDownload(&transfer, kEventFailed);
    const bool complete =
        transfer.ullTotal == 0 || transfer.ullOffset + transfer.ullReceived == transfer.ullTotal;
    if (complete && transfer.ullReceived == 0 && !download::WriteEmptyBody(transfer))
        return CloseDownload(&transfer, kEventFailed);
    CloseDownload(&transfer, complete ? kEventFinished : kEventFailed);
}

void OnDataAvailable(DOWNLOADINFO& transfer, DWORD available) noexcept
{
    if (available == 0)
        return OnBodyEnded(transfer);
    // More than the answer announced: the part on disk ends where it should, and nothing past
    // it is written.
    if (transfer.ullBodyLeft == 0)
        return CloseDownload(&transfer, kEventFailed);
    // Never more than has arrived: under Wine a read waits to fill what it asked for, and each
    // byte that trickles in restarts its time-out, so the transfer would not hear of the wait.
    // The piece is gathered over as many reads as it takes.
    const DWORD size = static_cast<DWORD>(
        std::min<uint64_t>({available, kChunkSize - transfer.filled, transfer.ullBodyLeft}));
    if (!::WinHttpReadData(transfer.hRequest.Get(), transfer.buffer.data() + transfer.filled, size,
                           nullptr))
        CloseDownload(&transfer, kEventFailed);
}

void OnReadComplete(DOWNLOADINFO& transfer, DWORD length) noexcept
{
    if (length == 0)
        return OnBodyEnded(transfer);
    if (length > kChunkSize - transfer.filled || length > transfer.ullBodyLeft)
        return CloseDownload(&transfer, kEventFailed);
    transfer.filled += length;
    transfer.ullBodyLeft -= length;
    // A whole piece, or the last the answer may bring, goes to the file at once.
    if ((transfer.filled == kChunkSize || transfer.ullBodyLeft == 0) && !FlushPiece(transfer))
        return CloseDownload(&transfer, kEventFailed);
    // Counted after the page has heard of it: the page's time is not the server's.
    transfer.clock.Count(length, kChunkSize);
    QueryData(transfer);
}

[[nodiscard]] bool PauseRequested(const DOWNLOADINFO& transfer) noexcept
{
    return transfer.pnCommand &&
           download::ReadCommand(*transfer.pnCommand) == download::kCommandPause;
}

} // namespace

bool StartDownload(TransferOrder order) noexcept
{
    std::unique_ptr<DOWNLOADINFO> transfer(new (std::nothrow) DOWNLOADINFO);
    if (!transfer)
        return false;
    transfer->ullTaskId = order.taskId;
    transfer->pfnCallBack = order.callBack;
    transfer->pnCommand = order.command;
    // An address that cannot be taken apart fails before the file is looked at.
    if (!order.address) {
        CloseDownload(transfer.release(), kEventFailed);
        return true;
    }
    std::optional<download::FileState> onDisk;
    if (!download::ProbeDestination(order.path, onDisk))
        return false;
    try {
        transfer->room =
            download::VolumeRoom(paths::GetParentPath(order.path, true), order.limits.freeSpace);
    } catch (...) {
        return false;
    }
    transfer->path = std::move(order.path);
    transfer->record = std::move(order.record);
    transfer->clock = download::SilenceClock(order.limits.silenceMs);
    transfer->ullOffset = onDisk ? onDisk->size : 0;
    // Read for every start: a record whose file has changed or gone is dropped on the way.
    const download::FileVersion recorded = transfer->record.Read(onDisk);
    if (transfer->ullOffset > 0)
        transfer->ifRange = recorded;
    transfer->hOpen = download::OpenHttpSession(WINHTTP_FLAG_ASYNC);
    if (!transfer->hOpen)
        return false;
    // From here on every outcome is an event. Once WinHTTP has the request its notifications
    // own the record, and may already have ended the transfer before the send call returns.
    DOWNLOADINFO* record = transfer.release();
    if (!SendRequest(*record, *order.address))
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
    // WinHTTP ends a wait in which nothing arrives; this ends one in which a byte arrives now
    // and then.
    if (transfer->clock.RanOut())
        return CloseDownload(transfer, kEventFailed);
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        transfer->clock.Restart();
        if (!ArmWait(*transfer) || !::WinHttpReceiveResponse(transfer->hRequest.Get(), nullptr))
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
