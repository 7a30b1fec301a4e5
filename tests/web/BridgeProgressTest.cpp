// SetCallBack as the page calls it again and again: each new document replaces the one before,
// whose registration in the real Global Interface Table goes with it, and progress reaches the
// newest, also from a notification thread that kept an older page's script object.
#include "base/Unique.h"
#include "download/ProgressNotifier.h"
#include "framework/DispatchObject.h"
#include "tests/support/UiSession.h"
#include "tests/support/Wait.h"
#include "tools/pagescript/PageDocument.h"
#include "web/HtmlCtrl.h"

#include <atomic>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;
using pagescript::PageObject;

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr DISPID kProgressId = 1;

// A page's script object: records the OnDownloadProgress calls that reach it, on the UI thread.
class RecordingScript : public framework::DispatchObject<> {
public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override
    {
        if (count != 1 || std::wstring(names[0]) != L"OnDownloadProgress")
            return DISP_E_UNKNOWNNAME;
        ids[0] = kProgressId;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) noexcept override
    {
        if (id != kProgressId || params->cArgs != 4)
            return DISP_E_BADPARAMCOUNT;
        std::string call;
        for (UINT i = params->cArgs; i-- > 0;)
            call += std::to_string(V_I4(&params->rgvarg[i])) + (i ? " " : "");
        m_calls.push_back(call);
        return S_OK;
    }

    std::vector<std::string> m_calls;
};

// Registers a fresh document whose script is the given one; the test keeps no reference.
DWORD RegisterFreshDocument(CHtmlCtrl& bridge, RecordingScript& script)
{
    PageObject::Ptr document = PageObject::Create(PageObject::Kind::Document);
    document->SetScript(&script);
    EXPECT_EQ(bridge.SetCallBack(document->Dispatch()), 0);
    return g_dwDocCookie.load();
}

// A notification thread, a plain system thread as WinHTTP's are: it reports once, keeping the
// page's script, waits until told to go on, and reports again.
struct Notifications {
    std::atomic<int> reported{0};
    UniqueHandle goOn{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

DWORD WINAPI ReportTwice(void* context)
{
    auto& notifications = *static_cast<Notifications*>(context);
    FireDownloadProgress(1, 7, 3, 10);
    notifications.reported = 1;
    ::WaitForSingleObject(notifications.goOn.Get(), kWaitMs);
    FireDownloadProgress(2, 7, 3, 100);
    notifications.reported = 2;
    return 0;
}

bool Registered(DWORD cookie)
{
    ComPtr<IGlobalInterfaceTable> table;
    ComPtr<IUnknown> document;
    return SUCCEEDED(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr,
                                        CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table))) &&
           SUCCEEDED(table->GetInterfaceFromGlobal(cookie, IID_IUnknown, &document));
}

} // namespace

class PageRegistrations : public test::UiTest {};

TEST_F(PageRegistrations, EachDocumentReplacesThePreviousOneAndProgressReachesTheNewest)
{
    constexpr int kRegistrations = 1000;
    CHtmlCtrl bridge;
    // Static: the newest document stays registered until the process ends, and COM lets go of
    // the scripts only when this thread leaves its apartment.
    static RecordingScript first, middle, newest;
    const LONG aliveBefore = PageObject::Alive();
    std::vector<DWORD> cookies{RegisterFreshDocument(bridge, first)};

    Notifications notifications;
    UniqueHandle thread(::CreateThread(nullptr, 0, &ReportTwice, &notifications, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_TRUE(test::WaitUntil([&] { return notifications.reported == 1; }, kWaitMs))
        << "no first report";

    for (int i = 1; i < kRegistrations - 1; ++i)
        cookies.push_back(RegisterFreshDocument(bridge, middle));
    cookies.push_back(RegisterFreshDocument(bridge, newest));
    EXPECT_EQ(PageObject::Alive() - aliveBefore, 1) << "older documents are still held";
    int stillRegistered = 0;
    for (DWORD cookie : cookies)
        stillRegistered += Registered(cookie) ? 1 : 0;
    EXPECT_EQ(stillRegistered, 1);
    EXPECT_TRUE(Registered(cookies.back())) << "the newest document is not registered";

    ::SetEvent(notifications.goOn.Get());
    // The thread leaves its apartment as it ends, releasing the kept script with a call into
    // this thread, so this thread pumps until it has gone.
    ASSERT_TRUE(test::WaitUntil(
        [&] { return ::WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0; }, kWaitMs))
        << "the notification thread did not end";
    EXPECT_EQ(notifications.reported, 2) << "no second report";
    EXPECT_EQ(first.m_calls, std::vector<std::string>{"1 7 3 10"});
    EXPECT_TRUE(middle.m_calls.empty());
    EXPECT_EQ(newest.m_calls, std::vector<std::string>{"2 7 3 100"})
        << "the thread reported to the script it had kept";
}
