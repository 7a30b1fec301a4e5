#include "tools/pagescript/PageDocument.h"

#include <mshtml.h>

#include <array>
#include <new>
#include <utility>

namespace pagescript {
namespace {

// Longer than IHTMLDocument2's table (about 120 methods). In the x64 calling convention the
// caller cleans up, so one argument-less stub can stand for every method whatever its
// parameters; the same holds for the probe below.
constexpr size_t kSlots = 256;

// The one property that scripts read by name.
constexpr DISPID kUrlId = 1;

using Table = std::array<const void*, kSlots>;

// The position of an interface method in its table, found by calling it on an object whose
// every slot records its own number: no counting of the methods in mshtml.h by hand.
struct SlotProbe {
    const void* const* vtable;
    size_t slot;
};

template <size_t N> HRESULT STDMETHODCALLTYPE RecordSlot(void* self) noexcept
{
    static_cast<SlotProbe*>(self)->slot = N;
    return E_NOTIMPL;
}

template <size_t... N> const void* const* ProbeTable(std::index_sequence<N...>) noexcept
{
    static const void* const table[] = {reinterpret_cast<const void*>(&RecordSlot<N>)...};
    return table;
}

template <class Call> size_t SlotOf(Call call) noexcept
{
    SlotProbe probe{ProbeTable(std::make_index_sequence<kSlots>()), kSlots};
    call(reinterpret_cast<IHTMLDocument2*>(&probe));
    return probe.slot;
}

template <class Function> const void* Entry(Function function) noexcept
{
    return reinterpret_cast<const void*>(function);
}

} // namespace

PageDocument::PageDocument(IDispatch* scriptGlobals, std::wstring_view url)
    : m_object{Vtable(), this}, m_pScript(scriptGlobals), m_strUrl(url)
{
    if (m_pScript)
        m_pScript->AddRef();
}

PageDocument::~PageDocument() { Detach(reinterpret_cast<IDispatch*>(&m_object)); }

IDispatch* PageDocument::Create(IDispatch* scriptGlobals, std::wstring_view url) noexcept
{
    try {
        auto* document = new PageDocument(scriptGlobals, url);
        return reinterpret_cast<IDispatch*>(&document->m_object);
    } catch (...) {
        return nullptr;
    }
}

void PageDocument::Detach(IDispatch* document) noexcept
{
    if (!document)
        return;
    PageDocument& owner = Of(document);
    if (owner.m_pScript)
        owner.m_pScript->Release();
    owner.m_pScript = nullptr;
}

const void* const* PageDocument::Vtable() noexcept
{
    static const Table table = [] {
        Table slots{};
        slots.fill(Entry(&NotImplemented));
        slots[0] = Entry(&QueryInterface);
        slots[1] = Entry(&AddRef);
        slots[2] = Entry(&Release);
        slots[3] = Entry(&GetTypeInfoCount);
        slots[4] = Entry(&GetTypeInfo);
        slots[5] = Entry(&GetIDsOfNames);
        slots[6] = Entry(&Invoke);
        slots.at(SlotOf([](IHTMLDocument2* d) {
            IDispatch* script = nullptr;
            (void)d->get_Script(&script);
        })) = Entry(&GetScript);
        slots.at(SlotOf([](IHTMLDocument2* d) {
            BSTR url = nullptr;
            (void)d->get_URL(&url);
        })) = Entry(&GetUrl);
        return slots;
    }();
    return table.data();
}

HRESULT PageDocument::QueryInterface(void* self, REFIID iid, void** out) noexcept
{
    if (!out)
        return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IHTMLDocument &&
        iid != IID_IHTMLDocument2) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = self;
    AddRef(self);
    return S_OK;
}

ULONG PageDocument::AddRef(void* self) noexcept
{
    return static_cast<ULONG>(::InterlockedIncrement(&Of(self).m_nRefs));
}

ULONG PageDocument::Release(void* self) noexcept
{
    PageDocument& document = Of(self);
    const LONG count = ::InterlockedDecrement(&document.m_nRefs);
    if (count == 0)
        delete &document;
    return static_cast<ULONG>(count);
}

HRESULT PageDocument::GetTypeInfoCount(void*, UINT* count) noexcept
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT PageDocument::GetTypeInfo(void*, UINT, LCID, ITypeInfo** out) noexcept
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT PageDocument::GetIDsOfNames(void*, REFIID, LPOLESTR* names, UINT count, LCID,
                                    DISPID* ids) noexcept
{
    for (UINT i = 0; ids && i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (!ids || !names || count != 1 || !names[0] || ::lstrcmpW(names[0], L"URL") != 0)
        return DISP_E_UNKNOWNNAME;
    ids[0] = kUrlId;
    return S_OK;
}

HRESULT PageDocument::Invoke(void* self, DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                             VARIANT* result, EXCEPINFO*, UINT*) noexcept
{
    if (id != kUrlId || !(flags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND;
    if (!result)
        return S_OK;
    V_VT(result) = VT_BSTR;
    return GetUrl(self, &V_BSTR(result));
}

HRESULT PageDocument::GetScript(void* self, IDispatch** script) noexcept
{
    if (!script)
        return E_POINTER;
    *script = Of(self).m_pScript;
    if (!*script)
        return E_FAIL;
    (*script)->AddRef();
    return S_OK;
}

HRESULT PageDocument::GetUrl(void* self, BSTR* url) noexcept
{
    if (!url)
        return E_POINTER;
    const std::wstring& text = Of(self).m_strUrl;
    *url = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *url ? S_OK : E_OUTOFMEMORY;
}

HRESULT PageDocument::NotImplemented() noexcept { return E_NOTIMPL; }

} // namespace pagescript
