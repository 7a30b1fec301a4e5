#include "download/HttpTransfer.h"

#include "base/Paths.h"
#include "download/PartFiles.h"
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

// An asynchronous session whose own bound on connections to one server is not below what a
// transfer opens. A refusal of the bound leaves the segments to wait their turn, which is slower
// but no fault.
UniqueInternet OpenSession() noexcept
{
    UniqueInternet session = OpenHttpSession(WINHTTP_FLAG_ASYNC);
    DWORD most = kMaxConnections;
    if (session)
        (void)::WinHttpSetOption(session.Get(), WINHTTP_OPTION_MAX_CONNS_PER_SERVER, &most,
                                 sizeof(most));
    return session;
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
    if (why == Leaving::Failed && transfer.outcome == 0 && transfer.restartBy == kNoConnection)
        transfer.outcome = kEventFailed;
    else if (why == Leaving::Paused && transfer.outcome == 0)
        transfer.outcome = kEventPaused;
    else if (why == Leaving::Finished)
        transfer.complete = true;
}

} // namespace

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
    return connection.segmentRequest && !connection.bodyBegun ? Leaving::Refused : Leaving::Failed;
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
    transfer->hOpen = OpenSession();
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
        return OnSendComplete(*connection);
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        return OnHeadersAvailable(*connection);
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        return OnDataAvailable(*connection, information ? *static_cast<DWORD*>(information) : 0);
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        return OnReadComplete(*connection, length);
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        return Leave(*connection, Failure(*connection));
    default:
        return;
    }
}
