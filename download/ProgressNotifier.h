#pragma once
// Progress to the page: each transfer event is recorded in its task and, when the page should
// hear of it, passed to the page's global "OnDownloadProgress" by the page notifier.
#include "base/Lock.h"
#include "download/HttpTransfer.h"

#include <oaidl.h>
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

namespace download {

// The page notifier: the page document registered last (its cookie in the Global Interface
// Table) and the page's script as each reporting thread keeps it. Through the table the page's
// function runs on the UI thread while the thread that reports waits for it. The page registers
// on the UI thread; WinHTTP's threads report. The process has one, g_pageNotifier, never
// destroyed; any other must outlive the threads that report to it.
class PageNotifier {
public:
    PageNotifier() noexcept = default;
    PageNotifier(const PageNotifier&) = delete;
    PageNotifier& operator=(const PageNotifier&) = delete;
    ~PageNotifier();

    // SetCallBack's work: registers the page's document in place of the one registered before,
    // whose registration goes as soon as no thread is fetching that document. Objects that are
    // no HTML document change nothing. UI thread.
    void RegisterPageDocument(IDispatch* document) noexcept;

    // The page's script object, or null when no document is registered or reachable. A
    // notification thread keeps the one it got while the registered document stays the same.
    [[nodiscard]] Microsoft::WRL::ComPtr<IDispatch> GetPageScript() noexcept;

    // Calls the page's OnDownloadProgress(state, idHigh, idLow, value); 1 when it was invoked,
    // 0 when there is no page or no such function.
    int32_t FireDownloadProgress(int32_t state, int32_t idHigh, int32_t idLow,
                                 int32_t value) noexcept;

private:
    struct Registration;
    // What a notification thread keeps of a registration: the page's script it fetched.
    struct KeptScript {
        const PageNotifier* notifier = nullptr;
        uint64_t generation = 0;
        IDispatch* script = nullptr;
    };

    [[nodiscard]] std::shared_ptr<Registration> Newest() noexcept;
    [[nodiscard]] Microsoft::WRL::ComPtr<IDispatch> FetchPageScript(DWORD cookie) noexcept;
    void KeepScript(uint64_t generation, IDispatch* script) noexcept;

    // Guards the table, the generations and the newest registration. Never held while calling
    // into COM beyond a reference count.
    Lock m_lock;
    // One agile object for the whole process, usable from every apartment: made with the first
    // registration and kept, instead of at each of the hundred or so progress calls of a
    // transfer.
    Microsoft::WRL::ComPtr<IGlobalInterfaceTable> m_pTable;
    uint64_t m_nGenerations = 0;
    std::shared_ptr<Registration> m_pNewest;
    // MSHTML's type library, loaded with the first registration on the UI thread and only kept:
    // a notification thread's proxy of the document is built from it, and kept loaded it is read
    // once rather than for every proxy (a fifth of a second each, as measured).
    Microsoft::WRL::ComPtr<ITypeLib> m_pDocumentTypes;

    // Plain pointers, so that nothing is released when the thread or the process ends; the
    // reference then simply goes with it.
    static thread_local KeptScript t_keptScript;
};

// The whole file's percentage, 0 to 100; 0 when the size is unknown.
[[nodiscard]] int32_t PercentOf(int64_t done, int64_t total) noexcept;

} // namespace download

// The page notifier of the process: SetCallBack registers with it, DownloadCallBack reports.
extern download::PageNotifier& g_pageNotifier;

// The task callback of every download: runs on the thread of the notification.
void DownloadCallBack(int32_t event, const DOWNLOADINFO& transfer) noexcept;
