#include "download/HttpTransfer.h"

#include "base/Paths.h"
#include "download/PartFiles.h"
#include "download/ResponseHeaders.h"
#include "download/Segments.h"
#include "download/TransferFile.h"
#include "download/TransferSteps.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <utility>

namespace download {
namespace {

// The five completions, request errors and redirects. MinGW's
// WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS also holds WINHTTP_CALLBACK_FLAG_GETPROXYFORURL_COMPLETE,
// which only WinHttpGetProxyForUrlEx sends: the transfer never asks for a proxy that way.
constexpr DWORD kNotifications =
    WINHTTP_CALLBACK_FLAG_SENDREQUEST_COMPLETE | WINHTTP_CALLBACK_FLAG_HEADERS_AVAILABLE |
    WINHTTP_CALLBACK_FLAG_DATA_AVAILABLE | WINHTTP_CALLBACK_FLAG_READ_COMPLETE |
    WINHTTP_CALLBACK_FLAG_WRITE_COMPLETE | WINHTTP_CALLBACK_FLAG_REQUEST_ERROR |
    WINHTTP_CALLBACK_FLAG_REDIRECT;
// The Range line (at most 59 characters) and the If-Range line with its validator.
constexpr size_t kRangeHeadersCapacity = 80 + ResumeValidator::kCapacity;

// The connections of every transfer that have a request of their own.
std::atomic<int> g_openConnections{0};

// What an earlier transfer left beside the file: its parts, when the record still names the
// file's version (else they go), and where the first request begins: after the file and the
// parts that continue it.
void NoteHeldParts(DOWNLOADINFO& transfer, bool versionKnown) noexcept
{
    transfer.askedFrom = transfer.ullOffset;
    if (!versionKnown)
        return DropParts(transfer.record);
    try {
        transfer.parts = ListParts(transfer.record);
    } catch (...) {
        transfer.parts.clear(); // no memory for the list: the transfer goes on without them
    }
    for (const HeldPart& part : transfer.parts) {
        if (part.start > transfer.askedFrom)
            break;
        if (part.start == transfer.askedFrom)
            transfer.askedFrom += part.size;
    }
}

// Ties the connections to their transfer; the first, which sends the first request, joins.
Connection& JoinFirst(DOWNLOADINFO& transfer) noexcept
{
    for (int i = 0; i < kMaxConnections; ++i) {
        Connection& connection = transfer.connections[i];
        connection.transfer = &transfer;
        connection.index = i;
        connection.clock = SilenceClock(transfer.limits.silenceMs);
    }
    // Counted but never refused: a download always has its one connection.
    g_openConnections.fetch_add(1);
    transfer.connections[0].counted = true;
    transfer.members = 1;
    return transfer.connections[0];
}

// The one end of every transfer: handles and file are closed before the task callback hears of
// the end, so that a finished file is complete and closed when the page learns of it. The record
// is freed here and nowhere else; the caller must not touch it afterwards.
void CloseDownload(DOWNLOADINFO* transfer, int32_t event) noexcept
{
    std::unique_ptr<DOWNLOADINFO> owned(transfer);
    owned->hConnect.Reset();
    owned->hOpen.Reset();
    CloseTransferFile(*owned, event);
    if (owned->pfnCallBack)
        owned->pfnCallBack(event, *owned);
}

// Once every connection has left: the failure or pause that stopped them, else whether the file
// is whole.
int32_t EndEvent(const DOWNLOADINFO& transfer) noexcept
{
    if (transfer.outcome != 0)
        return transfer.outcome;
    const bool whole = transfer.segmented ? transfer.map.Whole() : transfer.complete;
    return whole ? kEventFinished : kEventFailed;
}

// What a leaving connection's reason makes of the transfer. Called with the lock held. While a
// connection holds a whole file to start over with, the others' failures no longer count: what
// they fetched is of another version.
void Settle(DOWNLOADINFO& transfer, Leaving why) noexcept
{
    if (why == Leaving::Failed && transfer.outcome == 0 &&
        transfer.restartBy == kNoConnection)
        transfer.outcome = kEventFailed;
    else if (why == Leaving::Paused && transfer.outcome == 0)
        transfer.outcome = kEventPaused;
    else if (why == Leaving::Finished)
        transfer.complete = true;
}

void CloseRequest(Connection& connection) noexcept
{
    if (!connection.hRequest)
        return;
    // No notification may reach the connection once its request is gone.
    ::WinHttpSetStatusCallback(connection.hRequest.Get(), nullptr, 0, 0);
    connection.hRequest.Reset();
}

// Bounds the wait that the next call starts by what is left of the server's time. WinHTTP is
// told again only when that is less by more than kArmSlackMs than what it was last told: while
// whole pieces keep coming it stays the whole limit, and the calls cost time on every piece.
[[nodiscard]] bool ArmWait(Connection& connection) noexcept
{
    constexpr DWORD kArmSlackMs = 100;
    const DWORD left = connection.clock.Left();
    if (left <= connection.armedMs && left + kArmSlackMs > connection.armedMs)
        return true;
    connection.armedMs = left;
    return SetRequestTimeouts(connection.hRequest.Get(), left);
}

// Opens the connection's request, installs the callback and sends it with the headers given.
[[nodiscard]] bool Send(Connection& connection, const wchar_t* headers, DWORD length) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    CloseRequest(connection);
    connection.hRequest = OpenGet(transfer.hConnect.Get(), transfer.address);
    if (!connection.hRequest ||
        ::WinHttpSetStatusCallback(connection.hRequest.Get(), HttpStatusCallBack, kNotifications,
                                   0) != nullptr)
        return false;
    connection.filled = 0;
    connection.bodyLeft = std::numeric_limits<uint64_t>::max();
    connection.bodyBegun = false;
    connection.armedMs = 0; // a new request has WinHTTP's own waits
    connection.clock.Restart();
    return ArmWait(connection) &&
           ::WinHttpSendRequest(connection.hRequest.Get(),
                                length ? headers : WINHTTP_NO_ADDITIONAL_HEADERS, length,
                                WINHTTP_NO_REQUEST_DATA, 0, 0,
                                reinterpret_cast<DWORD_PTR>(&connection)) != FALSE;
}

// The transfer's first request: the whole file, or from where what is held ends, naming the
// recorded version when there is one.
[[nodiscard]] bool SendFirstRequest(Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    transfer.hConnect = ConnectTo(transfer.hOpen.Get(), transfer.address);
    if (!transfer.hConnect)
        return false;
    wchar_t text[kRangeHeadersCapacity] = {};
    int length = 0;
    if (transfer.askedFrom > 0) {
        length = ::wsprintfW(text, L"Range: bytes=%I64d-\r\n",
                             static_cast<long long>(transfer.askedFrom));
        if (transfer.ifRange.Known())
            length += ::wsprintfW(text + length, L"If-Range: %s\r\n",
                                  transfer.ifRange.IfRange().Text());
    }
    return Send(connection, text, static_cast<DWORD>(length));
}

// An accepted body must find room on the volume before its first byte, less a reserve for the
// player's other programs: all of it when its length is announced, else piece by piece.
[[nodiscard]] bool ClaimRoom(DOWNLOADINFO& transfer,
                             const std::optional<uint64_t>& bodyLength) noexcept
{
    transfer.claimEachPiece = !bodyLength;
    return !bodyLength || transfer.room.Claim(*bodyLength);
}

void OnFirstAnswer(Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    const auto answer =
        ReadAnswer(connection.hRequest.Get(), transfer.askedFrom, transfer.ifRange);
    if (!answer)
        return Leave(connection, Leaving::Failed);
    const ResponsePlan& plan = answer->plan;
    if (plan.action == ResponseAction::Fail ||
        (plan.action == ResponseAction::ReadBody && !ClaimRoom(transfer, plan.bodyLength)))
        return Leave(connection, Leaving::Failed);
    transfer.restartFile = plan.restartFile;
    transfer.version = plan.version;
    if (!plan.restartFile && !AbsorbLeadingParts(transfer))
        return Leave(connection, Leaving::Failed);
    connection.bodyLeft = plan.bodyLength.value_or(connection.bodyLeft);
    connection.next = plan.offset;
    transfer.ullOffset = plan.offset;
    transfer.ullTotal = plan.total;
    if (plan.action == ResponseAction::Finish)
        return Leave(connection, Leaving::Finished);
    if (!BeginSegments(connection, plan, answer->rangesServed))
        return Leave(connection, Leaving::Failed);
    connection.clock.Restart();
    QueryData(connection);
}

// Writes the piece gathered in the buffer and tells the task. True when the connection reads on.
[[nodiscard]] bool FlushPiece(Connection& connection) noexcept
{
    if (connection.segment != kNoSegment)
        return FlushSegmentPiece(connection);
    DOWNLOADINFO& transfer = *connection.transfer;
    const DWORD length = connection.filled;
    if ((transfer.claimEachPiece && !transfer.room.Claim(length)) ||
        !WritePiece(transfer, connection.buffer.data(), length)) {
        Leave(connection, Leaving::Failed); // disk full, for instance
        return false;
    }
    connection.filled = 0;
    connection.next += length;
    {
        LockGuard lock(transfer.lock);
        transfer.held += length;
    }
    ReportProgress(transfer);
    return true;
}

// The body has ended. When the server announced the file's size and the file falls short of it
// (under Wine a connection dropped mid-body looks just like this), the transfer failed: the bytes
// that did arrive stay, and the next transfer resumes from them.
void OnBodyEnded(Connection& connection) noexcept
{
    if (connection.segment != kNoSegment)
        return SegmentAnswerEnded(connection);
    DOWNLOADINFO& transfer = *connection.transfer;
    if (connection.filled > 0 && !FlushPiece(connection))
        return;
    // One connection only: nobody else writes held.
    const bool complete =
        transfer.ullTotal == 0 || transfer.ullOffset + transfer.held == transfer.ullTotal;
    if (complete && transfer.held == 0 && !WriteEmptyBody(transfer))
        return Leave(connection, Leaving::Failed);
    Leave(connection, complete ? Leaving::Finished : Leaving::Failed);
}

// Room in the buffer for the next read: never past the connection's segment, which another
// connection may have shortened meanwhile.
[[nodiscard]] uint64_t ReadRoom(const Connection& connection) noexcept
{
    const uint64_t room = kChunkSize - connection.filled;
    if (connection.segment == kNoSegment)
        return room;
    DOWNLOADINFO& transfer = *connection.transfer;
    LockGuard lock(transfer.lock);
    const uint64_t end = transfer.map[connection.segment].end;
    const uint64_t at = connection.next + connection.filled;
    return std::min(room, end > at ? end - at : 0);
}

void OnDataAvailable(Connection& connection, DWORD available) noexcept
{
    if (available == 0)
        return OnBodyEnded(connection);
    // More than the answer announced: the part on disk ends where it should, and nothing past
    // it is written.
    if (connection.bodyLeft == 0)
        return Leave(connection, Leaving::Failed);
    // Never more than has arrived: under Wine a read waits to fill what it asked for, and each
    // byte that trickles in restarts its time-out, so the transfer would not hear of the wait.
    // The piece is gathered over as many reads as it takes.
    const DWORD size = static_cast<DWORD>(
        std::min<uint64_t>({available, ReadRoom(connection), connection.bodyLeft}));
    if (!::WinHttpReadData(connection.hRequest.Get(),
                           connection.buffer.data() + connection.filled, size, nullptr))
        Leave(connection, Failure(connection));
}

void OnReadComplete(Connection& connection, DWORD length) noexcept
{
    if (length == 0)
        return OnBodyEnded(connection);
    if (length > kChunkSize - connection.filled || length > connection.bodyLeft)
        return Leave(connection, Leaving::Failed);
    connection.filled += length;
    connection.bodyLeft -= length;
    connection.bodyBegun = true;
    // A whole piece, the last the answer may bring, or the last of the segment goes to the file
    // at once.
    if ((connection.filled == kChunkSize || connection.bodyLeft == 0 ||
         ReadRoom(connection) == 0) &&
        !FlushPiece(connection))
        return;
    // Counted after the page has heard of it: the page's time is not the server's.
    connection.clock.Count(length, kChunkSize);
    QueryData(connection);
}

} // namespace

std::optional<Answer> ReadAnswer(HINTERNET request, uint64_t lengthOnDisk,
                                 const FileVersion& known) noexcept
{
    const auto status = QueryStatusCode(request);
    if (!status)
        return std::nullopt;
    const ResponseHeader length(request, WINHTTP_QUERY_CONTENT_LENGTH);
    const ResponseHeader range(request, WINHTTP_QUERY_CONTENT_RANGE);
    const ResponseHeader eTag(request, WINHTTP_QUERY_ETAG);
    const ResponseHeader lastModified(request, WINHTTP_QUERY_LAST_MODIFIED);
    const ResponseHeader acceptRanges(request, WINHTTP_QUERY_ACCEPT_RANGES);
    Answer answer{*status,
                  PlanResponse(*status, {length.Text(), range.Text(), eTag.Text(),
                                         lastModified.Text()},
                               lengthOnDisk, known)};
    if (*status == 206 && range.Text()) {
        const auto parsed = ParseContentRange(*range.Text());
        answer.rangesServed = parsed && parsed->total;
    } else if (*status == 200 && acceptRanges.Text()) {
        answer.rangesServed = AcceptsByteRanges(*acceptRanges.Text());
    }
    return answer;
}

bool SendRangeRequest(Connection& connection, uint64_t first, uint64_t end) noexcept
{
    const DOWNLOADINFO& transfer = *connection.transfer;
    wchar_t text[kRangeHeadersCapacity] = {};
    const int length =
        ::wsprintfW(text, L"Range: bytes=%I64d-%I64d\r\nIf-Range: %s\r\n",
                    static_cast<long long>(first), static_cast<long long>(end - 1),
                    transfer.version.IfRange().Text());
    connection.segmentRequest = true;
    connection.next = first;
    return Send(connection, text, static_cast<DWORD>(length));
}

void QueryData(Connection& connection) noexcept
{
    if (!ArmWait(connection) ||
        !::WinHttpQueryDataAvailable(connection.hRequest.Get(), nullptr))
        Leave(connection, Failure(connection));
}

std::optional<Leaving> StopReason(const Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    if (transfer.pnCommand && ReadCommand(*transfer.pnCommand) == kCommandPause)
        return Leaving::Paused;
    LockGuard lock(transfer.lock);
    if (transfer.outcome != 0 ||
        (transfer.restartBy != kNoConnection && transfer.restartBy != connection.index))
        return Leaving::Done;
    return std::nullopt;
}

Leaving Failure(const Connection& connection) noexcept
{
    return connection.segmentRequest && !connection.bodyBegun ? Leaving::Refused
                                                              : Leaving::Failed;
}

void Leave(Connection& connection, Leaving why) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    CloseRequest(connection);
    connection.part.Reset();
    ReleaseConnection(connection);
    Connection* startOver = nullptr;
    bool last = false;
    {
        LockGuard lock(transfer.lock);
        if (connection.segment != kNoSegment)
            transfer.map[connection.segment].connection = kNoConnection;
        connection.segment = kNoSegment;
        Settle(transfer, why);
        last = --transfer.members == 0;
        if (transfer.members == 1 && transfer.restartBy != kNoConnection &&
            transfer.restartBy != connection.index)
            startOver = &transfer.connections[transfer.restartBy];
    }
    if (startOver)
        return StartOver(*startOver);
    if (last)
        CloseDownload(&transfer, EndEvent(transfer));
}

bool ReserveConnection(Connection& connection) noexcept
{
    int open = g_openConnections.load();
    do {
        if (open >= kProcessConnections)
            return false;
    } while (!g_openConnections.compare_exchange_weak(open, open + 1));
    connection.counted = true;
    return true;
}

void ReleaseConnection(Connection& connection) noexcept
{
    if (std::exchange(connection.counted, false))
        g_openConnections.fetch_sub(1);
}

void ReportProgress(DOWNLOADINFO& transfer) noexcept
{
    if (!transfer.pfnCallBack)
        return;
    {
        LockGuard lock(transfer.lock);
        if (transfer.reporting)
            return; // the connection telling now tells these bytes too
        transfer.reporting = true;
        transfer.ullReceived = transfer.held;
    }
    // Unlocked: the task's callback calls the page and waits for it.
    for (;;) {
        transfer.pfnCallBack(kEventProgress, transfer);
        LockGuard lock(transfer.lock);
        if (transfer.held == transfer.ullReceived) {
            transfer.reporting = false;
            return;
        }
        transfer.ullReceived = transfer.held;
    }
}

} // namespace download

bool StartDownload(TransferOrder order) noexcept
{
    using namespace download;
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
    std::optional<FileState> onDisk;
    if (!ProbeDestination(order.path, onDisk))
        return false;
    try {
        transfer->room = VolumeRoom(paths::GetParentPath(order.path, true), order.limits.freeSpace);
        transfer->address = std::move(*order.address);
    } catch (...) {
        return false;
    }
    transfer->path = std::move(order.path);
    transfer->record = std::move(order.record);
    transfer->limits = order.limits;
    transfer->nConnections = std::clamp(order.connections, 1, kMaxConnections);
    transfer->ullOffset = onDisk ? onDisk->size : 0;
    // Read for every start: a record whose file has changed or gone is dropped on the way, and
    // parts of no known version with it.
    const FileVersion recorded = transfer->record.Read(onDisk);
    NoteHeldParts(*transfer, recorded.Known());
    if (transfer->askedFrom > 0)
        transfer->ifRange = recorded;
    transfer->hOpen = OpenHttpSession(WINHTTP_FLAG_ASYNC);
    if (!transfer->hOpen)
        return false;
    // From here on every outcome is an event. Once WinHTTP has the request its notifications
    // own the record, and may already have ended the transfer before the send call returns.
    DOWNLOADINFO* record = transfer.release();
    Connection& first = JoinFirst(*record);
    if (!SendFirstRequest(first))
        Leave(first, Leaving::Failed);
    return true;
}

void CALLBACK HttpStatusCallBack(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                 DWORD length) noexcept
{
    using namespace download;
    auto* connection = reinterpret_cast<Connection*>(context);
    if (!connection)
        return;
    // A redirect is reported while WinHTTP is still busy with the request; the connection waits
    // for that step to complete before it acts, a pause request included.
    if (status == WINHTTP_CALLBACK_STATUS_REDIRECT)
        return;
    // Each action below either issues the next asynchronous step or ends the connection; WinHTTP
    // may deliver the next notification from inside that call, so nothing touches the
    // connection after it.
    if (const auto stop = StopReason(*connection))
        return Leave(*connection, *stop); // the piece just read is not written
    // WinHTTP ends a wait in which nothing arrives; this ends one in which a byte arrives now
    // and then.
    if (connection->clock.RanOut())
        return Leave(*connection, Failure(*connection));
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        connection->clock.Restart();
        if (!ArmWait(*connection) || !::WinHttpReceiveResponse(connection->hRequest.Get(), nullptr))
            Leave(*connection, Failure(*connection));
        return;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        return connection->segmentRequest ? OnSegmentAnswer(*connection)
                                          : OnFirstAnswer(*connection);
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        return OnDataAvailable(*connection,
                               information ? *static_cast<DWORD*>(information) : 0);
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        return OnReadComplete(*connection, length);
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        return Leave(*connection, Failure(*connection));
    default:
        return;
    }
}
