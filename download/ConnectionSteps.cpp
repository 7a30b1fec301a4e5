// One connection's request and its answer: sending it, weighing the answer's headers, and
// gathering the body into pieces for the file, or for the segment (Segments.cpp).
#include "download/ResponseHeaders.h"
#include "download/Segments.h"
#include "download/TransferFile.h"
#include "download/TransferSteps.h"

#include <algorithm>

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
    connection.available = 0;
    connection.bodyLeft = std::numeric_limits<uint64_t>::max();
    connection.bodyBegun = false;
    connection.armedMs = 0; // a new request has WinHTTP's own waits
    connection.clock.Restart();
    return ArmWait(connection) &&
           ::WinHttpSendRequest(
               connection.hRequest.Get(), length ? headers : WINHTTP_NO_ADDITIONAL_HEADERS, length,
               WINHTTP_NO_REQUEST_DATA, 0, 0, reinterpret_cast<DWORD_PTR>(&connection)) != FALSE;
}

} // namespace

bool SendFirstRequest(Connection& connection) noexcept
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
            length +=
                ::wsprintfW(text + length, L"If-Range: %s\r\n", transfer.ifRange.IfRange().Text());
    }
    return Send(connection, text, static_cast<DWORD>(length));
}

namespace {

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
    const auto answer = ReadAnswer(connection.hRequest.Get(), transfer.askedFrom, transfer.ifRange);
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

// Reads into the buffer from what WinHTTP said it holds. Never more than has arrived: under Wine
// a read waits to fill what it asked for, and each byte that trickles in restarts its time-out,
// so the transfer would not hear of the wait. A piece is gathered over as many reads as it takes.
void ReadArrived(Connection& connection) noexcept
{
    // More than the answer announced: the part on disk ends where it should, and nothing past
    // it is written.
    if (connection.bodyLeft == 0)
        return Leave(connection, Leaving::Failed);
    const DWORD size = static_cast<DWORD>(
        std::min<uint64_t>({connection.available, ReadRoom(connection), connection.bodyLeft}));
    if (!::WinHttpReadData(connection.hRequest.Get(), connection.buffer.data() + connection.filled,
                           size, nullptr))
        Leave(connection, Failure(connection));
}

} // namespace

void OnDataAvailable(Connection& connection, DWORD available) noexcept
{
    if (available == 0)
        return OnBodyEnded(connection);
    connection.available = available;
    ReadArrived(connection);
}

void OnReadComplete(Connection& connection, DWORD length) noexcept
{
    if (length == 0)
        return OnBodyEnded(connection);
    if (length > kChunkSize - connection.filled || length > connection.bodyLeft ||
        length > connection.available)
        return Leave(connection, Leaving::Failed);
    connection.available -= length;
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
    // What WinHTTP still holds is read without asking it again: under Wine that spares most
    // pieces a query, and the asynchronous steps are what a transfer spends its time on.
    if (connection.available > 0 && connection.bodyLeft > 0)
        return ReadArrived(connection);
    QueryData(connection);
}

void OnSendComplete(Connection& connection) noexcept
{
    connection.clock.Restart();
    if (!ArmWait(connection) || !::WinHttpReceiveResponse(connection.hRequest.Get(), nullptr))
        Leave(connection, Failure(connection));
}

void OnHeadersAvailable(Connection& connection) noexcept
{
    if (connection.segmentRequest)
        OnSegmentAnswer(connection);
    else
        OnFirstAnswer(connection);
}

void CloseRequest(Connection& connection) noexcept
{
    if (!connection.hRequest)
        return;
    // No notification may reach the connection once its request is gone.
    ::WinHttpSetStatusCallback(connection.hRequest.Get(), nullptr, 0, 0);
    connection.hRequest.Reset();
}

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
                  PlanResponse(*status,
                               {length.Text(), range.Text(), eTag.Text(), lastModified.Text()},
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
    const int length = ::wsprintfW(text, L"Range: bytes=%I64d-%I64d\r\nIf-Range: %s\r\n",
                                   static_cast<long long>(first), static_cast<long long>(end - 1),
                                   transfer.version.IfRange().Text());
    connection.segmentRequest = true;
    connection.next = first;
    return Send(connection, text, static_cast<DWORD>(length));
}

void QueryData(Connection& connection) noexcept
{
    if (!ArmWait(connection) || !::WinHttpQueryDataAvailable(connection.hRequest.Get(), nullptr))
        Leave(connection, Failure(connection));
}

} // namespace download
