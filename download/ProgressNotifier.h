#pragma once
// Progress to the page: each transfer event is recorded in its task and, when the page should
// hear of it, passed to the page's global "OnDownloadProgress". The page's document is reached
// through the Global Interface Table, so that its function runs on the UI thread while the
// worker thread that reports waits for it.
#include "download/HttpTransfer.h"

#include <oaidl.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>

// The cookie of the page document registered last (0: none), for reading only: a thread that
// fetches the document holds its registration instead, so that the cookie stays valid meanwhile.
extern std::atomic<DWORD> g_dwDocCookie;

// The task callback of every download: runs on the thread of the notification.
void DownloadCallBack(int32_t event, const DOWNLOADINFO& transfer) noexcept;

// The page's script object, or null when no page document is registered or reachable. A
// notification thread keeps the one it got while the registered document stays the same.
[[nodiscard]] Microsoft::WRL::ComPtr<IDispatch> GetPageScript() noexcept;

// Calls the page's OnDownloadProgress(state, idHigh, idLow, value); 1 when it was invoked,
// 0 when there is no page or no such function.
int32_t FireDownloadProgress(int32_t state, int32_t idHigh, int32_t idLow, int32_t value) noexcept;

namespace download {

// SetCallBack's work: registers the page's document for progress calls, in place of the one
// registered before, whose registration goes as soon as no thread is fetching that document.
// Objects that are no HTML document change nothing.
void RegisterPageDocument(IDispatch* document) noexcept;

// The whole file's percentage, 0 to 100; 0 when the size is unknown.
[[nodiscard]] int32_t PercentOf(int64_t done, int64_t total) noexcept;

} // namespace download
