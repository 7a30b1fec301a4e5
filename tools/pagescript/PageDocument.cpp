#include "tools/pagescript/PageDocument.h"

#include <mshtml.h>

#include <array>
#include <new>
#include <utility>

namespace pagescript {
namespace {

// Longer than any interface answered (IHTMLDocument2 has about 120 methods). In the x64 calling
// convention the caller cleans up, so one argument-less stub can stand for every method
// whatever its parameters; the same holds for the probe below.
constexpr size_t kSlots = 256;
constexpr DISPID kPropertyId = 1;

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

template <class Interface, class Call> size_t SlotOf(Call call) noexcept
{
    SlotProbe probe{ProbeTable(std::make_index_sequence<kSlots>()), kSlots};
    call(reinterpret_cast<Interface*>(&probe));
    return probe.slot;
}

template <class Function> const void* Entry(Function function) noexcept
{
    return reinterpret_cast<const void*>(function);
}

} // namespace

LONG PageObject::s_nAlive = 0;

PageObject::PageObject(Kind kind) noexcept : m_object{Vtable(kind), this}, m_kind(kind)
{
    ::InterlockedIncrement(&s_nAlive);
}

PageObject::~PageObject()
{
    SetScript(nullptr);
    ::InterlockedDecrement(&s_nAlive);
}

PageObject::Ptr PageObject::Create(Kind kind) noexcept
{
    return Ptr(new (std::nothrow) PageObject(kind));
}

PageObject* PageObject::FromDispatch(IDispatch* object) noexcept
{
    return object ? &Of(object) : nullptr;
}

const void* const* PageObject::Vtable(Kind kind) noexcept
{
    static const std::array<Table, 4> tables = [] {
        Table base{};
        base.fill(Entry(&NotImplemented));
        base[0] = Entry(&PageObject::QueryInterface);
        base[1] = Entry(&ComAddRef);
        base[2] = Entry(&ComRelease);
        base[3] = Entry(&GetTypeInfoCount);
        base[4] = Entry(&GetTypeInfo);
        base[5] = Entry(&GetIDsOfNames);
        base[6] = Entry(&Invoke);
        Table document = base, window = base;
        document.at(SlotOf<IHTMLDocument2>([](IHTMLDocument2* d) {
            IDispatch* script = nullptr;
            (void)d->get_Script(&script);
        })) = Entry(&GetScript);
        document.at(SlotOf<IHTMLDocument2>([](IHTMLDocument2* d) {
            IHTMLWindow2* parent = nullptr;
            (void)d->get_parentWindow(&parent);
        })) = Entry(&GetNext);
        document.at(SlotOf<IHTMLDocument2>([](IHTMLDocument2* d) {
            BSTR url = nullptr;
            (void)d->get_URL(&url);
        })) = Entry(&GetUrl);
        window.at(SlotOf<IHTMLWindow2>([](IHTMLWindow2* w) {
            IHTMLEventObj* event = nullptr;
            (void)w->get_event(&event);
        })) = Entry(&GetNext);
        return std::array<Table, 4>{document, window, base, base};
    }();
    return tables[static_cast<size_t>(kind)].data();
}

bool PageObject::Answers(REFIID iid) const noexcept
{
    if (iid == IID_IUnknown)
        return true;
    if (m_kind == Kind::Plain)
        return false;
    return iid == IID_IDispatch ||
           (m_kind == Kind::Document && (iid == IID_IHTMLDocument || iid == IID_IHTMLDocument2)) ||
           (m_kind == Kind::Window && iid == IID_IHTMLWindow2) ||
           (m_kind == Kind::Event && iid == IID_IHTMLEventObj);
}

void PageObject::AddRef() noexcept { ::InterlockedIncrement(&m_nRefs); }

void PageObject::Release() noexcept
{
    if (::InterlockedDecrement(&m_nRefs) == 0)
        delete this;
}

void PageObject::SetScript(IDispatch* script) noexcept
{
    if (script)
        script->AddRef();
    if (m_pScript)
        m_pScript->Release();
    m_pScript = script;
}

void PageObject::SetUrl(std::wstring_view url) { m_strUrl = url; }

VARIANT* PageObject::Property(std::wstring_view name)
{
    m_strPropertyName = name;
    return m_property.Get();
}

HRESULT PageObject::QueryInterface(void* self, REFIID iid, void** out) noexcept
{
    if (!out)
        return E_POINTER;
    if (!Of(self).Answers(iid)) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = self;
    Of(self).AddRef();
    return S_OK;
}

ULONG PageObject::ComAddRef(void* self) noexcept
{
    return static_cast<ULONG>(::InterlockedIncrement(&Of(self).m_nRefs));
}

ULONG PageObject::ComRelease(void* self) noexcept
{
    PageObject& object = Of(self);
    const LONG count = ::InterlockedDecrement(&object.m_nRefs);
    if (count == 0)
        delete &object;
    return static_cast<ULONG>(count);
}

HRESULT PageObject::GetTypeInfoCount(void*, UINT* count) noexcept
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT PageObject::GetTypeInfo(void*, UINT, LCID, ITypeInfo** out) noexcept
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT PageObject::GetIDsOfNames(void* self, REFIID, LPOLESTR* names, UINT count, LCID,
                                  DISPID* ids) noexcept
{
    const PageObject& object = Of(self);
    if (count == 1 && names && ids && V_VT(object.m_property.Get()) != VT_EMPTY &&
        object.m_strPropertyName == names[0]) {
        ids[0] = kPropertyId;
        return S_OK;
    }
    for (UINT i = 0; ids && i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT PageObject::Invoke(void* self, DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                           VARIANT* result, EXCEPINFO*, UINT*) noexcept
{
    PageObject& object = Of(self);
    if (id != kPropertyId || V_VT(object.m_property.Get()) == VT_EMPTY ||
        !(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
    return ::VariantCopy(result, object.m_property.Get());
}

HRESULT PageObject::GetScript(void* self, IDispatch** script) noexcept
{
    if (!script)
        return E_POINTER;
    *script = Of(self).m_pScript;
    if (!*script)
        return E_FAIL;
    (*script)->AddRef();
    return S_OK;
}

HRESULT PageObject::GetNext(void* self, IUnknown** next) noexcept
{
    if (!next)
        return E_POINTER;
    PageObject* linked = Of(self).m_pNext;
    *next = linked ? reinterpret_cast<IUnknown*>(linked->Dispatch()) : nullptr;
    if (linked)
        linked->AddRef();
    return S_OK;
}

HRESULT PageObject::GetUrl(void* self, BSTR* url) noexcept
{
    if (!url)
        return E_POINTER;
    const std::wstring& text = Of(self).m_strUrl;
    *url = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *url ? S_OK : E_OUTOFMEMORY;
}

HRESULT PageObject::NotImplemented() noexcept { return E_NOTIMPL; }

IDispatch* PageDocument::Create(IDispatch* scriptGlobals, std::wstring_view url) noexcept
{
    PageObject::Ptr document = PageObject::Create(PageObject::Kind::Document);
    if (!document)
        return nullptr;
    try {
        document->SetUrl(url);
    } catch (...) {
        return nullptr;
    }
    document->SetScript(scriptGlobals);
    return document.release()->Dispatch();
}

void PageDocument::Detach(IDispatch* document) noexcept
{
    if (PageObject* object = PageObject::FromDispatch(document))
        object->SetScript(nullptr);
}

} // namespace pagescript
