#pragma once
// The transfer engine: one file fetched with GET over WinHTTP's asynchronous API and appended to
// what the file already holds. A transfer is started on the UI thread, then driven entirely by
// WinHTTP's notifications on its worker threads. Each of its connections has one request at a
// time and never more than one step of it outstanding. When the first answer shows that the
// server serves ranges of a large file, the rest comes over several connections at once
// (download/Segments.h), the file on disk still only ever a whole prefix. The record frees itself
// when the transfer's last connection ends.
#include "base/Lock.h"
#include "base/Unique.h"
#include "base/WinHttp.h"
#include "download/DownloadRecord.h"
#include "download/HttpRequest.h"
#include "download/ResponseCheck.h"
#include "download/ResumeValidator.h"
#include "download/SegmentMap.h"
#include "download/SilenceClock.h"
#include "download/TaskMap.h"
#include "download/VolumeRoom.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace download {
// The transfer's events carry the numbers of the task states they lead to: the task stores the
// event as its state, and the page hears that number.
inline constexpr int32_t kEventProgress = kStateDownloading;
inline constexpr int32_t kEventFinished = kStateFinished;
inline constexpr int32_t kEventFailed = kStateFailed;
inline constexpr int32_t kEventPaused = kStatePaused;
// One read's worth at most: every piece of the body passes through a connection's buffer on its
// way to the file.
inline constexpr DWORD kChunkSize = 4096;
// How long a server may keep a connection waiting for its answer or the next whole piece of its
// body before the transfer fails: WinHTTP's own default wait for data.
inline constexpr DWORD kSilenceLimitMs = 30'000;
// The connections one transfer may use (config.ini's download/connections); with 1 the transfer
// is a single stream of exactly one request.
inline constexpr int kMaxConnections = 8;
inline constexpr int kDefaultConnections = 4;
// The most the whole process opens: a transfer starts no further connection beyond it.
inline constexpr int kProcessConnections = 16;
// Less than this left of a file comes over one connection: the further requests and the copying
// of the parts would cost more than they bring.
inline constexpr uint64_t kSegmentFloor = 16ull << 20;
// The least a connection takes over from another: less would cost a request for little.
inline constexpr uint64_t kStealFloor = 1ull << 20;

// What every transfer is held to; tests shorten the wait, stand in for the volume and let small
// files come over several connections.
struct TransferLimits {
    DWORD silenceMs = kSilenceLimitMs;
    VolumeRoom::Probe freeSpace = nullptr; // null: the system's answer
    uint64_t segmentFloor = kSegmentFloor;
    uint64_t stealFloor = kStealFloor; // raised to kChunkSize at least
};

// Why a connection stops.
enum class Leaving {
    Done,     // nothing left for it, or the transfer stops for another connection's reason
    Finished, // the single stream's body is complete
    Failed,
    Refused, // a further connection the server would not serve: the others go on without it
    Paused,
};
} // namespace download

struct DOWNLOADINFO;
// Called on the thread of the notification with each event. After an end event (finished,
// failed, paused) the record is freed as soon as the callback returns.
using TaskCallBack = void (*)(int32_t event, const DOWNLOADINFO& transfer) noexcept;

// What a transfer fetches, into which file, and for whom.
struct TransferOrder {
    std::optional<download::HttpAddress> address; // nothing: the URL could not be taken apart
    std::wstring path;
    download::DownloadRecord record; // where the file's version is recorded; may be none
    uint64_t taskId = 0;
    TaskCallBack callBack = nullptr;
    int32_t* command = nullptr; // the owning task's pause request; may be absent
    download::TransferLimits limits;
    int connections = 1; // 1 to kMaxConnections; several need a record for their parts
};

namespace download {
// One request at a time of a transfer, and the piece of its body on the way to the file. Its
// notifications come one after another, each on some WinHTTP thread.
struct Connection {
    DOWNLOADINFO* transfer = nullptr;
    int index = 0;
    std::array<BYTE, kChunkSize> buffer{};
    UniqueInternet hRequest;
    DWORD filled = 0;    // bytes of the next piece in the buffer, not yet written
    DWORD available = 0; // bytes WinHTTP said it holds that have not been read yet
    uint64_t next = 0;   // where in the file the buffer's first byte belongs
    // Body bytes the answer may still bring beyond those read.
    uint64_t bodyLeft = std::numeric_limits<uint64_t>::max();
    bool segmentRequest = false; // asks for a segment: refused rather than failed before a byte
    bool bodyBegun = false;      // a byte of the answer's body has arrived
    int segment = kNoSegment;    // the segment it fetches, when the transfer has segments
    UniqueFile part;             // that segment's part, once written to
    SilenceClock clock;
    DWORD armedMs = 0;    // the wait WinHTTP was last given
    bool counted = false; // counts among the process's connections
};
} // namespace download

struct DOWNLOADINFO {
    uint64_t ullReceived = 0; // bytes in beyond ullOffset, in the file or in parts, as last told
    uint64_t ullOffset = 0;   // the file's length that the body continues
    uint64_t ullTotal = 0;    // the file's size once complete; 0 when the server did not say
    UniqueFile file;          // opened for an accepted body's first byte, positioned at its end
    uint64_t ullTaskId = 0;
    TaskCallBack pfnCallBack = nullptr;
    int32_t* pnCommand = nullptr; // the owning task's pause request, read whole

    UniqueInternet hOpen;
    UniqueInternet hConnect;
    download::HttpAddress address;
    std::wstring path;
    download::DownloadRecord record;
    download::TransferLimits limits;
    int nConnections = 1;
    download::FileVersion ifRange; // the file's version as the first request named it, if it did
    download::FileVersion version; // the version the file holds, once the answer's body is in
    uint64_t askedFrom = 0;        // where the first request's range began: the file and the
                                   // parts that continue it
    std::vector<download::HeldPart> parts; // what an earlier transfer left beyond the file
    bool restartFile = false;              // the answer's body replaces the file
    // Whether each piece must find room on the volume (when the answer did not announce how many).
    bool claimEachPiece = false;
    download::VolumeRoom room;

    // Shared by the connections' threads: lock guards everything from here to the connections.
    Lock lock;
    int members = 0;          // connections that have not left
    bool segmented = false;   // the rest comes as segments
    download::SegmentMap map; // the segments, when segmented
    uint64_t held = 0;        // bytes in since ullOffset, in the file or in parts
    bool reporting = false;   // a connection is telling the task of progress
    bool advancing = false;   // a connection is appending parts to the file
    bool complete = false;    // the single stream's body is all in
    int32_t outcome = 0;      // the failed or paused event that ends the transfer, once known
    int restartBy = download::kNoConnection; // holds a whole file that the transfer starts over
                                             // with once the other connections have left
    download::ResponsePlan wholeFile;        // what that answer brings
    std::array<download::Connection, download::kMaxConnections> connections;
};

// Opens WinHTTP and sends the request: for the rest of a file already begun, with the file's
// recorded version, when its record still matches the file, as If-Range. The file itself is
// opened only for the first byte of an accepted body (created if missing, others may read it but
// not write it). false, with no event sent, when the file could be neither written nor made (its
// folder missing, a folder in its place, a writer holding it) or WinHTTP cannot be opened. true
// otherwise, also when the address is missing or the request could not be made, and the failed
// event has already been sent on this thread.
[[nodiscard]] bool StartDownload(TransferOrder order) noexcept;

void CALLBACK HttpStatusCallBack(HINTERNET handle, DWORD_PTR context, DWORD status,
                                 LPVOID information, DWORD length) noexcept;
