#include "download/ProgressNotifier.h"

#include "base/Bstr.h"
#include "base/ExceptionInfo.h"
#include "base/GlobalInterface.h"
#include "base/NeverDestroyed.h"
#include "base/Variant.h"
#include "download/TaskMap.h"

#include <mshtml.h>

#include <array>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kPageFunction[] = L"OnDownloadProgress";

// Never destroyed: when the process ends COM has gone, and revoking the page's registration
// then would call into it.
NeverDestroyed<download::PageNotifier> g_pageNotifierStorage;

struct PageNotice {
    bool send = false;
    int32_t state = 0;
    int32_t value = 0;
};

// Records the event in its task and tells what the page should hear. Called with the map locked.
PageNotice RecordEvent(TOOLINFOS& task, int32_t event, const DOWNLOADINFO& transfer) noexcept
{
    task.nState = event;
    switch (event) {
    case download::kEventProgress: {
        task.llTotal = static_cast<int64_t>(transfer.ullTotal);
        task.llDone = static_cast<int64_t>(transfer.ullOffset + transfer.ullReceived);
        const int32_t percent = download::PercentOf(task.llDone, task.llTotal);
        if (percent == task.nLastPercent)
            return {}; // at most 101 progress calls per transfer, however large the file
        task.nLastPercent = percent;
        return {true, event, percent};
    }
    case download::kEventFinished:
        return {true, event, 100};
    case download::kEventFailed:
    case download::kEventPaused:
        return {true, event, 0};
    default:
        return {};
    }
}

// MSHTML's type library, version 4.0, in the neutral language.
ComPtr<ITypeLib> LoadDocumentTypes() noexcept
{
    static constexpr GUID kMshtmlLibrary = {
        0x3050F1C5, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
    constexpr WORD kMajorVersion = 4;
    constexpr WORD kMinorVersion = 0;
    ComPtr<ITypeLib> library;
    (void)::LoadRegTypeLib(kMshtmlLibrary, kMajorVersion, kMinorVersion, LANG_NEUTRAL,
                           library.GetAddressOf());
    return library;
}

// Notification threads are WinHTTP's; the first progress call on one joins it to a
// single-threaded apartment for good, since nothing tells when the thread goes: no scope ends
// there in which an apartment owner (base/ComApartment.h) could leave it again. A thread that
// already had its apartment (the UI thread) is left exactly as it was. True on the threads
// joined here.
bool JoinApartment() noexcept
{
    enum class Apartment { Unknown, Joined, Foreign };
    thread_local Apartment apartment = Apartment::Unknown;
    if (apartment == Apartment::Unknown) {
        const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (hr == S_FALSE)
            ::CoUninitialize();
        apartment = hr == S_OK ? Apartment::Joined : Apartment::Foreign;
    }
    return apartment == Apartment::Joined;
}

} // namespace

download::PageNotifier& g_pageNotifier = g_pageNotifierStorage.Get();

namespace download {

// A page document registered for progress calls. Shared: the notifier holds the newest, and a
// thread holds one from reading its cookie until it has fetched the document, so that the cookie
// is not revoked under it. Whoever lets go last revokes it, which releases the document; that is
// usually the UI thread as the page registers its next document, else a notification thread,
// which the Global Interface Table allows.
struct PageNotifier::Registration {
    GlobalInterfaceRegistration document;
    // Tells registrations apart: the table may hand a revoked cookie out again.
    uint64_t generation = 0;
};

// A notification thread keeps the page's script object that it fetched last, for as long as
// the registered document stays the same: fetching it takes a cross-thread unmarshal and a
// cross-thread call, several milliseconds per progress report, which would slow a transfer by
// a tenth. The kept proxy needs no registration; it is let go at the thread's next report after
// the page registers another document. The function name is still looked up at every call.
thread_local PageNotifier::KeptScript PageNotifier::t_keptScript;

PageNotifier::~PageNotifier() = default;

int32_t PercentOf(int64_t done, int64_t total) noexcept
{
    if (total <= 0 || done <= 0)
        return 0;
    if (done >= total)
        return 100;
    return static_cast<int32_t>(done * 100 / total);
}

void PageNotifier::RegisterPageDocument(IDispatch* document) noexcept
{
    if (!document)
        return;
    ComPtr<IHTMLDocument2> page;
    if (FAILED(document->QueryInterface(IID_PPV_ARGS(&page))))
        return;
    // Made here, on the UI thread, before any registration is published: the threads that
    // report read the table only after they have found a registration.
    if (!m_pTable) {
        ComPtr<IGlobalInterfaceTable> table;
        if (FAILED(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_ALL,
                                      IID_PPV_ARGS(&table))))
            return;
        m_pDocumentTypes = LoadDocumentTypes(); // here, so that no progress call waits for it
        LockGuard lock(m_lock);
        m_pTable = std::move(table);
    }
    std::shared_ptr<Registration> registration;
    try {
        registration = std::make_shared<Registration>();
    } catch (...) {
        return;
    }
    if (!registration->document.Register(m_pTable.Get(), page.Get(), IID_IHTMLDocument2))
        return;
    {
        LockGuard lock(m_lock);
        registration->generation = ++m_nGenerations;
        std::swap(m_pNewest, registration);
    }
    // Now the previous one, let go unlocked: revoking it releases that document.
    registration.reset();
}

std::shared_ptr<PageNotifier::Registration> PageNotifier::Newest() noexcept
{
    LockGuard lock(m_lock);
    return m_pNewest;
}

void PageNotifier::KeepScript(uint64_t generation, IDispatch* script) noexcept
{
    if (t_keptScript.script)
        t_keptScript.script->Release();
    t_keptScript = {this, generation, script};
    if (script)
        script->AddRef();
}

ComPtr<IDispatch> PageNotifier::FetchPageScript(DWORD cookie) noexcept
{
    // From another thread this is a proxy: its calls are carried out on the UI thread.
    ComPtr<IHTMLDocument2> page;
    if (FAILED(m_pTable->GetInterfaceFromGlobal(cookie, IID_IHTMLDocument2,
                                                reinterpret_cast<void**>(page.GetAddressOf()))) ||
        !page)
        return nullptr;
    ComPtr<IDispatch> script;
    if (FAILED(page->get_Script(script.GetAddressOf())))
        return nullptr;
    return script;
}

ComPtr<IDispatch> PageNotifier::GetPageScript() noexcept
{
    const bool notificationThread = JoinApartment();
    const std::shared_ptr<Registration> newest = Newest();
    if (!newest)
        return nullptr;
    const KeptScript& kept = t_keptScript;
    if (notificationThread && kept.script && kept.notifier == this &&
        kept.generation == newest->generation)
        return kept.script;
    ComPtr<IDispatch> script = FetchPageScript(newest->document.Cookie());
    if (notificationThread)
        KeepScript(newest->generation, script.Get());
    return script;
}

int32_t PageNotifier::FireDownloadProgress(int32_t state, int32_t idHigh, int32_t idLow,
                                           int32_t value) noexcept
{
    const ComPtr<IDispatch> script = GetPageScript();
    if (!script)
        return 0;
    Bstr name(kPageFunction);
    LPOLESTR names[] = {name.Get()};
    DISPID id = DISPID_UNKNOWN;
    if (!name)
        return 0;
    const HRESULT found = script->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(found) && found != DISP_E_UNKNOWNNAME)
        KeepScript(0, nullptr); // the page's script has gone: fetch it afresh next time
    if (FAILED(found) || id == 0)
        return 0;
    // Invoke takes the arguments last first.
    std::array<VARIANT, 4> arguments{};
    const int32_t values[] = {value, idLow, idHigh, state};
    for (size_t i = 0; i < arguments.size(); ++i) {
        V_VT(&arguments[i]) = VT_I4;
        V_I4(&arguments[i]) = values[i];
    }
    DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    Variant result;
    ExceptionInfo exception;
    UINT argumentError = static_cast<UINT>(-1);
    // An error inside the page's function is the page's business; the transfer goes on.
    (void)script->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, result.Get(), &exception,
                         &argumentError);
    return 1;
}

} // namespace download

void DownloadCallBack(int32_t event, const DOWNLOADINFO& transfer) noexcept
{
    PageNotice notice;
    {
        LockGuard lock(g_toolInfosLock);
        auto it = g_mapToolInfos.find(transfer.ullTaskId);
        if (it == g_mapToolInfos.end())
            return;
        // Stored before the page hears of it: the page may start or pause this task from inside
        // OnDownloadProgress and must see the new state. The pause request is never written
        // here, so a request made meanwhile stands.
        notice = RecordEvent(it->second, event, transfer);
    }
    // Unlocked on purpose: the page's function runs on the UI thread while this thread waits,
    // and it may call DownloadFile or PauseDownload, which take the same lock.
    if (notice.send)
        g_pageNotifier.FireDownloadProgress(notice.state, download::TaskIdHigh(transfer.ullTaskId),
                                            download::TaskIdLow(transfer.ullTaskId), notice.value);
}
