// The page notifier with a stand-in document: which page hears of progress, from which thread.
#include "base/ComApartment.h"
#include "base/Unique.h"
#include "download/ProgressNotifier.h"
#include "framework/DispatchObject.h"
#include "tests/support/WindowDriver.h"
#include "tools/pagescript/PageDocument.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string_view>

using namespace std::literals;

namespace {

// A page's script: records the OnDownloadProgress calls; each document of it holds a reference.
class RecordingScript : public framework::DispatchObject<> {
public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) noexcept override
    {
        *ids = 1;
        return names[0] == L"OnDownloadProgress"sv ? S_OK : DISP_E_UNKNOWNNAME;
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

std::atomic<int> g_reported{0};
UniqueHandle g_goOn(::CreateEventW(nullptr, TRUE, FALSE, nullptr));

// A notification thread (a plain system thread, as WinHTTP's): it reports, keeping the page's
// script, and reports again once told to go on.
DWORD WINAPI ReportTwice(void* notifier)
{
    auto& page = *static_cast<download::PageNotifier*>(notifier);
    g_reported += page.FireDownloadProgress(1, 7, 3, 10);
    ::WaitForSingleObject(g_goOn.Get(), 10000);
    g_reported += page.FireDownloadProgress(2, 7, 3, 100);
    return 0;
}

} // namespace

// Each document the page registers replaces the one before, whose registration in the Global
// Interface Table goes, and progress reaches the newest, also from a thread that kept an older one.
TEST(PageNotifier, EachDocumentReplacesThePreviousOneAndProgressReachesTheNewest)
{
    const ComApartment apartment;
    // Static: COM lets go of the kept scripts only when this thread leaves its apartment.
    static RecordingScript first, middle, newest;
    download::PageNotifier notifier;
    const auto Register = [&notifier](RecordingScript& script) {
        IDispatch* document = pagescript::PageDocument::Create(&script, L""); // its one reference
        notifier.RegisterPageDocument(document);
        document->Release();
    };
    Register(first);
    UniqueHandle thread(::CreateThread(nullptr, 0, &ReportTwice, &notifier, 0, nullptr));
    EXPECT_TRUE(test::WaitUntil([] { return g_reported == 1; }, 10000)) << "no first report";
    for (int i = 2; i < 1000; ++i)
        Register(middle);
    Register(newest);
    EXPECT_EQ(test::ReferenceCount(&middle), 1u) << "older registrations or documents are kept";
    EXPECT_EQ(test::ReferenceCount(&newest), 2u) << "the newest document is not registered";
    // The ending thread releases its kept script with a call into this thread, which pumps.
    ::SetEvent(g_goOn.Get());
    ASSERT_TRUE(test::WaitUntil([&] { return !::WaitForSingleObject(thread.Get(), 0); }, 10000))
        << "the notification thread did not end";
    EXPECT_EQ(first.m_calls + "|" + middle.m_calls + "|" + newest.m_calls, "1 7 3 10;||2 7 3 100;")
        << "a report went elsewhere than to the page registered when it was made";
}
