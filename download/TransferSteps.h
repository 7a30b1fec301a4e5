#pragma once
// The steps a transfer's connections share between the single stream (HttpTransfer.cpp) and the
// segments (Segments.cpp); inside the engine only. Every step that issues a WinHTTP call or ends
// a connection may see the transfer end before it returns (WinHTTP calls back from inside its
// calls): its caller returns at once and touches neither the connection nor the transfer again.
#include "download/HttpTransfer.h"
#include "download/ResponseCheck.h"

#include <optional>

namespace download {

// An answer's headers, weighed.
struct Answer {
    DWORD status = 0;
    ResponsePlan plan;
    // The server serves ranges of this file and says how large it is: a 206 with a total, or a
    // 200 with "Accept-Ranges: bytes".
    bool rangesServed = false;
};
// lengthOnDisk and known as PlanResponse takes them; nothing when the status cannot be read.
[[nodiscard]] std::optional<Answer> ReadAnswer(HINTERNET request, uint64_t lengthOnDisk,
                                               const FileVersion& known) noexcept;

// Closes the connection's request, if it has one: no notification reaches the connection from
// it any more.
void CloseRequest(Connection& connection) noexcept;
// Opens the connection to the server and sends the transfer's first request: the whole file, or
// from where the file and the parts that continue it end, naming the recorded version when there
// is one. False when it could not be sent.
[[nodiscard]] bool SendFirstRequest(Connection& connection) noexcept;
// Sends the connection's next request, for the file's bytes [first, end), with If-Range naming
// the transfer's version; the request before, if any, is closed first, ending its answer. False
// when it could not be sent.
[[nodiscard]] bool SendRangeRequest(Connection& connection, uint64_t first, uint64_t end) noexcept;
// Waits for the next piece of the answer's body, or its end.
void QueryData(Connection& connection) noexcept;

// The steps of the connection's notifications. The first answer is the transfer's plan; a
// segment's answer is held to it (Segments.h).
void OnSendComplete(Connection& connection) noexcept;
void OnHeadersAvailable(Connection& connection) noexcept;
void OnDataAvailable(Connection& connection, DWORD available) noexcept;
void OnReadComplete(Connection& connection, DWORD length) noexcept;

// Why the connection must stop now: the task's pause request, or the transfer ending or starting
// over for another connection. Nothing when it goes on.
[[nodiscard]] std::optional<Leaving> StopReason(const Connection& connection) noexcept;
// What a failure of the connection's request means: a further connection refused before the
// first byte of its answer, else a failed transfer.
[[nodiscard]] Leaving Failure(const Connection& connection) noexcept;
// The connection stops: its request and part are closed and it lets go of its segment. The last
// to leave ends the transfer; when another holds a whole file to start over with and is the only
// one left, it starts over on this thread.
void Leave(Connection& connection, Leaving why) noexcept;

// Counts the connection among the process's, unless it has kProcessConnections already.
[[nodiscard]] bool ReserveConnection(Connection& connection) noexcept;
// Counts it no more.
void ReleaseConnection(Connection& connection) noexcept;

// Tells the task how far the transfer has come. One connection tells at a time, the others
// leaving their bytes for it to tell: the task hears the numbers in order, each once.
void ReportProgress(DOWNLOADINFO& transfer) noexcept;

} // namespace download
