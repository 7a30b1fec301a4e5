#pragma once
// The transfer engine: one file fetched with GET over WinHTTP's asynchronous API and appended to
// what the file already holds. A transfer is started on the UI thread, then driven entirely by
// WinHTTP's notifications on its worker threads, each issuing the next step, so that one transfer
// never has more than one step outstanding. The record frees itself when the transfer ends.
#include "base/Unique.h"
#include "base/WinHttp.h"
#include "download/DownloadRecord.h"
#include "download/HttpRequest.h"
#include "download/ResumeValidator.h"
#include "download/SilenceClock.h"
#include "download/TaskMap.h"
#include "download/VolumeRoom.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace download {
// The transfer's events carry the numbers of the task states they lead to: the task stores the
// event as its state, and the page hears that number.
inline constexpr int32_t kEventProgress = kStateDownloading;
inline constexpr int32_t kEventFinished = kStateFinished;
inline constexpr int32_t kEventFailed = kStateFailed;
inline constexpr int32_t kEventPaused = kStatePaused;
// One read's worth at most: every piece of the body passes through this buffer on its way to the
// file.
inline constexpr DWORD kChunkSize = 4096;
// How long a server may keep a transfer waiting for its answer or the next whole piece of its
// body before the transfer fails: WinHTTP's own default wait for data.
inline constexpr DWORD kSilenceLimitMs = 30'000;

// What every transfer is held to; tests shorten the wait and stand in for the volume.
struct TransferLimits {
    DWORD silenceMs = kSilenceLimitMs;
    VolumeRoom::Probe freeSpace = nullptr; // null: the system's answer
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
};

struct DOWNLOADINFO {
    std::array<BYTE, download::kChunkSize> buffer{};
    UniqueInternet hOpen;
    UniqueInternet hConnect;
    UniqueInternet hRequest;
    uint64_t ullReceived = 0; // body bytes written by this transfer
    DWORD filled = 0;         // bytes of the next piece in the buffer, not yet written
    uint64_t ullOffset = 0;   // the file's length that the body continues
    uint64_t ullTotal = 0;    // the file's size once complete; 0 when the server did not say
    UniqueFile file;          // opened for an accepted body's first byte, positioned at its end
    uint64_t ullTaskId = 0;
    TaskCallBack pfnCallBack = nullptr;
    int32_t* pnCommand = nullptr; // the owning task's pause request, read whole

    std::wstring path;
    download::DownloadRecord record;
    download::FileVersion ifRange; // the file's version as the request named it, if it did
    download::FileVersion version; // the version the file holds, once the answer's body is in
    bool restartFile = false;      // the answer's body replaces the file
    // Body bytes the answer may still bring beyond those read, and whether each piece must find
    // room on the volume (when the answer did not announce how many).
    uint64_t ullBodyLeft = std::numeric_limits<uint64_t>::max();
    bool claimEachPiece = false;
    download::VolumeRoom room;
    download::SilenceClock clock;
    DWORD armedMs = 0; // the wait WinHTTP was last given
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
