#include "download/Segments.h"

#include "download/PartFiles.h"
#include "download/TransferFile.h"
#include "download/TransferSteps.h"

#include <algorithm>

namespace download {
namespace {

constexpr DWORD kStatusOk = 200;
// A server that limits its connections answers a further one with one of these.
constexpr DWORD kStatusTooManyRequests = 429;
constexpr DWORD kStatusUnavailable = 503;

// Never less than a piece: a connection whose segment is cut then still has its piece in flight
// within what it keeps.
[[nodiscard]] uint64_t StealFloor(const DOWNLOADINFO& transfer) noexcept
{
    return std::max<uint64_t>(transfer.limits.stealFloor, kChunkSize);
}

[[nodiscard]] bool WorthSegments(const DOWNLOADINFO& transfer, const ResponsePlan& plan,
                                 bool rangesServed) noexcept
{
    const bool partsWait = !plan.restartFile && !transfer.parts.empty();
    return transfer.nConnections > 1 && transfer.record.IsSet() && rangesServed &&
           plan.bodyLength && plan.version.Known() && plan.total > plan.offset &&
           (plan.total - plan.offset >= transfer.limits.segmentFloor || partsWait);
}

// Appends the complete parts that the file has reached, one after another, for as long as the
// next one is complete. One connection at a time does it, the others leaving it the parts they
// complete meanwhile. False when a part could not be appended.
[[nodiscard]] bool Absorb(DOWNLOADINFO& transfer) noexcept
{
    {
        LockGuard lock(transfer.lock);
        if (transfer.advancing)
            return true;
        transfer.advancing = true;
    }
    for (;;) {
        int next = kNoSegment;
        Segment segment;
        {
            LockGuard lock(transfer.lock);
            next = transfer.map.NextToAbsorb();
            transfer.advancing = next != kNoSegment;
            if (next == kNoSegment)
                return true;
            segment = transfer.map[next];
        }
        // Unlocked: the copy takes a while, and no other connection writes the file meanwhile.
        if (!segment.inFile &&
            !AppendPart(transfer.file.Get(), transfer.record, segment.start, segment.held)) {
            LockGuard lock(transfer.lock);
            transfer.advancing = false;
            return false;
        }
        LockGuard lock(transfer.lock);
        transfer.map.Absorbed(next);
    }
}

// Asks for what is left of the connection's segment.
void RequestSegment(Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    uint64_t first = 0;
    uint64_t end = 0;
    {
        LockGuard lock(transfer.lock);
        first = transfer.map[connection.segment].Next();
        end = transfer.map[connection.segment].end;
    }
    if (!SendRangeRequest(connection, first, end))
        Leave(connection, Leaving::Refused);
}

// The further connections join, as many as the process has room for. Each takes its work before
// any asks for it, so that each asks for exactly its segment: one taken after another had asked
// would cut that one short and make it end its answer early.
void Launch(DOWNLOADINFO& transfer) noexcept
{
    int further = 1;
    while (further < transfer.nConnections && ReserveConnection(transfer.connections[further]))
        ++further;
    {
        LockGuard lock(transfer.lock);
        for (int i = 1; i < further; ++i) {
            Connection& connection = transfer.connections[i];
            connection.segment =
                transfer.map.Take(connection.index, std::nullopt, StealFloor(transfer)).segment;
            if (connection.segment != kNoSegment)
                ++transfer.members;
        }
    }
    for (int i = 1; i < further; ++i) {
        Connection& connection = transfer.connections[i];
        if (connection.segment == kNoSegment)
            ReleaseConnection(connection);
        else
            RequestSegment(connection);
    }
}

// The connection's segment is done: the file takes what it has reached, and the connection takes
// other work, going on with its answer when that brings the work's bytes.
void MoveOn(Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    if (!Absorb(transfer))
        return Leave(connection, Leaving::Failed);
    if (const auto stop = StopReason(connection))
        return Leave(connection, *stop);
    SegmentMap::Work work;
    {
        LockGuard lock(transfer.lock);
        const auto answerNext =
            connection.bodyLeft > 0 ? std::optional<uint64_t>(connection.next) : std::nullopt;
        work = transfer.map.Take(connection.index, answerNext, StealFloor(transfer));
        connection.segment = work.segment;
    }
    if (work.segment == kNoSegment)
        return Leave(connection, Leaving::Done);
    if (work.sameAnswer)
        return QueryData(connection);
    RequestSegment(connection);
}

// The piece's bytes into the file, when the segment is the file's own, else into its part.
[[nodiscard]] bool WriteSegment(Connection& connection, const Segment& segment,
                                DWORD length) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    if (segment.inFile)
        return WritePiece(transfer, connection.buffer.data(), length);
    if (!connection.part)
        connection.part = OpenPart(transfer.record, segment.start, segment.held);
    DWORD written = 0;
    return connection.part &&
           ::WriteFile(connection.part.Get(), connection.buffer.data(), length, &written,
                       nullptr) &&
           written == length;
}

// A segment's answer is the whole file, of another version: the transfer starts over with it
// once the connections that fetched the old one have gone. Meanwhile this connection waits with
// no step outstanding, and touches nothing once another may start it over.
void HoldWholeFile(Connection& connection, const ResponsePlan& plan) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    connection.bodyLeft = plan.bodyLength.value_or(std::numeric_limits<uint64_t>::max());
    bool holds = false;
    bool alone = false;
    {
        LockGuard lock(transfer.lock);
        holds = transfer.outcome == 0 && transfer.restartBy == kNoConnection;
        if (holds) {
            transfer.restartBy = connection.index;
            transfer.wholeFile = plan;
            alone = transfer.members == 1;
        }
    }
    if (!holds)
        return Leave(connection, Leaving::Done);
    if (alone)
        StartOver(connection);
}

} // namespace

bool AbsorbLeadingParts(DOWNLOADINFO& transfer) noexcept
{
    if (transfer.askedFrom == transfer.ullOffset)
        return true;
    if (!OpenTransferFile(transfer))
        return false;
    for (const HeldPart& part : transfer.parts) {
        if (part.start != transfer.ullOffset || transfer.ullOffset == transfer.askedFrom)
            continue;
        if (!AppendPart(transfer.file.Get(), transfer.record, part.start, part.size))
            break;
        transfer.ullOffset += part.size;
    }
    // The file is longer now, whether or not every part went in: the record must see it so.
    (void)RecordVersion(transfer);
    return transfer.ullOffset == transfer.askedFrom;
}

bool BeginSegments(Connection& head, const ResponsePlan& plan, bool rangesServed) noexcept
{
    DOWNLOADINFO& transfer = *head.transfer;
    // One segment more than the body may lie on the volume at once: a part and its copy.
    if (!WorthSegments(transfer, plan, rangesServed) ||
        !transfer.room.Claim((plan.total - plan.offset) / transfer.nConnections)) {
        DropParts(transfer.record);
        transfer.parts = {};
        return true;
    }
    // The file, and the record of its version, before any part: a part never lies without a
    // record that names its version, and a resume can tell whether it still holds.
    if (!OpenTransferFile(transfer))
        return false;
    if (plan.restartFile)
        transfer.parts = {}; // gone with the record of the old version
    if (!RecordVersion(transfer)) {
        DropParts(transfer.record);
        transfer.parts = {};
        return true;
    }
    KeepFittingParts(transfer.parts, transfer.record, plan.offset, plan.total);
    uint64_t partsHeld = 0;
    for (const HeldPart& part : transfer.parts)
        partsHeld += part.size;
    {
        LockGuard lock(transfer.lock);
        transfer.map.Begin(plan.offset, plan.total, transfer.parts, head.index);
        transfer.segmented = true;
        transfer.held = partsHeld;
        head.segment = 0; // the map's head
    }
    transfer.parts = {};
    Launch(transfer);
    return true;
}

void OnSegmentAnswer(Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    const auto answer = ReadAnswer(connection.hRequest.Get(), connection.next, transfer.version);
    if (!answer)
        return Leave(connection, Leaving::Failed);
    if (answer->status == kStatusTooManyRequests || answer->status == kStatusUnavailable)
        return Leave(connection, Leaving::Refused);
    const ResponsePlan& plan = answer->plan;
    if (plan.action != ResponseAction::ReadBody)
        return Leave(connection, Leaving::Failed);
    if (answer->status == kStatusOk)
        return HoldWholeFile(connection, plan);
    // A part of the version, from the byte asked for (the plan saw to both), of the same file.
    if (plan.total != transfer.ullTotal || !plan.bodyLength)
        return Leave(connection, Leaving::Failed);
    connection.bodyLeft = *plan.bodyLength;
    connection.clock.Restart();
    QueryData(connection);
}

bool FlushSegmentPiece(Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    Segment segment;
    {
        LockGuard lock(transfer.lock);
        segment = transfer.map[connection.segment];
    }
    // Bytes past the segment's end are another connection's now; they are dropped. No other
    // connection moves the end meanwhile: what is left is either whole (it cuts no less than
    // StealFloor beyond the bytes written) or less than a piece (and it does not cut).
    const DWORD keep = static_cast<DWORD>(std::min<uint64_t>(connection.filled, segment.Left()));
    const bool completes = keep == segment.Left();
    if (keep > 0 && !WriteSegment(connection, segment, keep)) {
        Leave(connection, Leaving::Failed);
        return false;
    }
    if (completes)
        connection.part.Reset(); // closed before another connection appends it
    connection.next += connection.filled;
    connection.filled = 0;
    {
        LockGuard lock(transfer.lock);
        transfer.map[connection.segment].held += keep;
        transfer.held += keep;
        if (completes) {
            transfer.map[connection.segment].connection = kNoConnection;
            connection.segment = kNoSegment;
        }
    }
    ReportProgress(transfer);
    if (!completes)
        return true;
    MoveOn(connection);
    return false;
}

void SegmentAnswerEnded(Connection& connection) noexcept
{
    if (connection.filled > 0 && !FlushSegmentPiece(connection))
        return;
    if (connection.bodyLeft > 0)
        return Leave(connection, Failure(connection)); // cut short
    RequestSegment(connection);
}

void StartOver(Connection& connection) noexcept
{
    DOWNLOADINFO& transfer = *connection.transfer;
    connection.part.Reset();
    {
        LockGuard lock(transfer.lock);
        transfer.restartBy = kNoConnection;
        transfer.segmented = false;
        transfer.map = SegmentMap();
        transfer.held = 0;
        transfer.ullOffset = 0;
        transfer.ullTotal = transfer.wholeFile.total;
        transfer.version = transfer.wholeFile.version;
        connection.segment = kNoSegment;
    }
    connection.segmentRequest = false;
    connection.next = 0;
    if (const auto stop = StopReason(connection))
        return Leave(connection, *stop);
    const auto& length = transfer.wholeFile.bodyLength;
    transfer.claimEachPiece = !length;
    if ((length && !transfer.room.Claim(*length)) || !StartFileOver(transfer))
        return Leave(connection, Leaving::Failed);
    (void)RecordVersion(transfer); // the record of the old version went with its parts
    connection.clock.Restart();
    QueryData(connection);
}

} // namespace download
