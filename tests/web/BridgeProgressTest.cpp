// SetCallBack as the page calls it again and again: each new document replaces the one before,
// whose registration in the real Global Interface Table goes with it, and progress reaches the
// newest, also from a notification thread that kept an older page's script object.
#include "base/Unique.h"
#include "download/ProgressNotifier.h"
#include "framework/DispatchObject.h"
#include "tests/web/PageDialog.h"
#include "tools/pagescript/PageDocument.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

// A page's script: records the states of the OnDownloadProgress calls that reach it. Each
// document whose script it is holds a reference to it.
class RecordingScript : public framework::DispatchObject<> {
public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) noexcept override
    {
        *ids = 1;
        return std::wstring_view(names[0]) == L"OnDownloadProgress" ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) noexcept override
    {
        for (UINT i = params->cArgs; i-- > 0;)
            m_calls += std::to_string(V_I4(&params->rgvarg[i])) + (i ? " " : ";");
        return S_OK;
    }

    std::string m_calls;
};

DWORD Register(CHtmlCtrl& bridge, RecordingScript& script)
{
    IDispatch* document = pagescript::PageDocument::Create(&script, L"");
    EXPECT_EQ(bridge.SetCallBack(document), 0);
    document->Release();
    return g_dwDocCookie;
}

bool Registered(DWORD cookie)
{
    Microsoft::WRL::ComPtr<IGlobalInterfaceTable> table;
    Microsoft::WRL::ComPtr<IUnknown> document;
    return SUCCEEDED(::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr,
                                        CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&table))) &&
           SUCCEEDED(table->GetInterfaceFromGlobal(cookie, IID_IUnknown, &document));
}

std::atomic<int> g_reported{0};
UniqueHandle g_goOn(::CreateEventW(nullptr, TRUE, FALSE, nullptr));

// A notification thread, a plain system thread as WinHTTP's are: it reports, keeping the page's
// script, and reports again once told to go on.
DWORD WINAPI ReportTwice(void*)
{
    g_reported += FireDownloadProgress(1, 7, 3, 10);
    ::WaitForSingleObject(g_goOn.Get(), 10000);
    g_reported += FireDownloadProgress(2, 7, 3, 100);
    return 0;
}

} // namespace

class PageRegistrations : public test::UiTest {};

TEST_F(PageRegistrations, EachDocumentReplacesThePreviousOneAndProgressReachesTheNewest)
{
    CHtmlCtrl bridge;
    // The newest document stays registered until the process ends, and COM lets go of the
    // scripts only when this thread leaves its apartment.
    static RecordingScript first, middle, newest;
    std::vector<DWORD> cookies{Register(bridge, first)};
    UniqueHandle thread(::CreateThread(nullptr, 0, &ReportTwice, nullptr, 0, nullptr));
    ASSERT_TRUE(test::WaitUntil([] { return g_reported == 1; }, 10000)) << "no first report";
    for (int i = 2; i < 1000; ++i)
        cookies.push_back(Register(bridge, middle));
    cookies.push_back(Register(bridge, newest));
    EXPECT_EQ(std::count_if(cookies.begin(), cookies.end(), Registered), 1);
    EXPECT_TRUE(Registered(cookies.back())) << "the newest document is not registered";
    EXPECT_EQ(test::ReferenceCount(&middle), 1u) << "older documents are still held";
    EXPECT_EQ(test::ReferenceCount(&newest), 2u) << "the newest document is not held";

    // The thread leaves its apartment as it ends, releasing the kept script with a call into
    // this thread, which therefore pumps meanwhile.
    ::SetEvent(g_goOn.Get());
    ASSERT_TRUE(test::WaitUntil([&] { return !::WaitForSingleObject(thread.Get(), 0); }, 10000))
        << "the notification thread did not end";
    EXPECT_EQ(first.m_calls + "|" + middle.m_calls + "|" + newest.m_calls, "1 7 3 10;||2 7 3 100;")
        << "a report went elsewhere than to the page registered when it was made";
}
