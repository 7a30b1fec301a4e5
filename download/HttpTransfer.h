#pragma once
// The transfer engine: one file fetched with GET over WinHTTP's asynchronous API and appended to
// what the file already holds. A transfer is started on the UI thread, then driven entirely by
// WinHTTP's notifications on its worker threads, each issuing the next step, so that one transfer
// never has more than one step outstanding. The record frees itself when the transfer ends.
#include "base/Unique.h"
#include "base/WinHttp.h"
#include "download/ResumeValidator.h"
#include "download/TaskMap.h"

#include <array>
#include <cstdint>

namespace download {
// The transfer's events carry the numbers of the task states they lead to: the task stores the
// event as its state, and the page hears that number.
inline constexpr int32_t kEventProgress = kStateDownloading;
inline constexpr int32_t kEventFinished = kStateFinished;
inline constexpr int32_t kEventFailed = kStateFailed;
inline constexpr int32_t kEventPaused = kStatePaused;
// One read's worth: every piece of the body passes through this buffer on its way to the file.
inline constexpr DWORD kChunkSize = 4096;
} // namespace download

struct DOWNLOADINFO;
// Called on the thread of the notification with each event. After an end event (finished,
// failed, paused) the record is freed as soon as the callback returns.
using TaskCallBack = void (*)(int32_t event, const DOWNLOADINFO& transfer) noexcept;

struct DOWNLOADINFO {
    std::array<BYTE, download::kChunkSize> buffer{};
    UniqueInternet hOpen;
    UniqueInternet hConnect;
    UniqueInternet hRequest;
    uint64_t ullReceived = 0; // body bytes written by this transfer
    uint64_t ullOffset = 0;   // the file's length that the body continues
    uint64_t ullTotal = 0;    // the file's size once complete; 0 when the server did not say
    UniqueFile file;          // open for writing, positioned at its end
    uint64_t ullTaskId = 0;
    TaskCallBack pfnCallBack = nullptr;
    int32_t* pnCommand = nullptr; // the owning task's pause request, read whole
    // The owning task's validator, replaced by the one an answer names when its body is read;
    // may be absent.
    download::ResumeValidator* pValidator = nullptr;
    download::ResumeValidator ifRange; // the version the request named with If-Range, if any
};

// Takes the URL apart, opens the file (created if missing, others may read it but not write it)
// and WinHTTP, then sends the request: for the rest of a file already begun, with the version
// named by the validator, when there is one, as If-Range. false when the file or WinHTTP cannot
// be opened: no event is sent then. true otherwise, also when the URL cannot be taken apart
// (nothing is opened or made then) or the request could not be made, and the failed event has
// already been sent on this thread.
[[nodiscard]] bool StartDownload(const wchar_t* url, const wchar_t* path, uint64_t taskId,
                                 TaskCallBack callBack, int32_t* command,
                                 download::ResumeValidator* validator) noexcept;

void CALLBACK HttpStatusCallBack(HINTERNET handle, DWORD_PTR context, DWORD status,
                                 LPVOID information, DWORD length) noexcept;
