#include "tools/pagescript/PageDocument.h"

#include <mshtml.h>

#include <array>
#include <new>

namespace pagescript {
namespace {

// IUnknown (3) + IDispatch (4) + IHTMLDocument::get_Script, then IHTMLDocument2's own methods.
// The table is longer than the interface; the slots past get_Script are never called with
// arguments that matter, since every one of them only answers E_NOTIMPL.
constexpr size_t kVtableSlots = 160;
constexpr size_t kGetScriptSlot = 7;

} // namespace

PageDocument::PageDocument(IDispatch* scriptGlobals) noexcept
    : m_object{BuildVtable(), this}, m_pScriptGlobals(scriptGlobals)
{
    if (m_pScriptGlobals)
        m_pScriptGlobals->AddRef();
}

PageDocument::~PageDocument()
{
    if (m_pScriptGlobals)
        m_pScriptGlobals->Release();
}

IDispatch* PageDocument::Create(IDispatch* scriptGlobals) noexcept
{
    auto* document = new (std::nothrow) PageDocument(scriptGlobals);
    return document ? reinterpret_cast<IDispatch*>(&document->m_object) : nullptr;
}

void PageDocument::Detach(IDispatch* document) noexcept
{
    if (!document)
        return;
    PageDocument* owner = Self(document)->owner;
    if (owner->m_pScriptGlobals) {
        owner->m_pScriptGlobals->Release();
        owner->m_pScriptGlobals = nullptr;
    }
}

const void* const* PageDocument::BuildVtable() noexcept
{
    // In the x64 calling convention the caller cleans up, so one argument-less stub can stand
    // for every method whatever its parameters.
    static const std::array<const void*, kVtableSlots> table = [] {
        std::array<const void*, kVtableSlots> slots{};
        slots.fill(reinterpret_cast<const void*>(&NotImplemented));
        slots[0] = reinterpret_cast<const void*>(&QueryInterface);
        slots[1] = reinterpret_cast<const void*>(&AddRef);
        slots[2] = reinterpret_cast<const void*>(&Release);
        slots[3] = reinterpret_cast<const void*>(&GetTypeInfoCount);
        slots[4] = reinterpret_cast<const void*>(&GetTypeInfo);
        slots[5] = reinterpret_cast<const void*>(&GetIDsOfNames);
        slots[6] = reinterpret_cast<const void*>(&Invoke);
        slots[kGetScriptSlot] = reinterpret_cast<const void*>(&GetScript);
        return slots;
    }();
    return table.data();
}

HRESULT PageDocument::QueryInterface(void* self, REFIID iid, void** out) noexcept
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument
        || iid == IID_IHTMLDocument2) {
        *out = self;
        AddRef(self);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG PageDocument::AddRef(void* self) noexcept
{
    return static_cast<ULONG>(::InterlockedIncrement(&Self(self)->owner->m_refCount));
}

ULONG PageDocument::Release(void* self) noexcept
{
    PageDocument* owner = Self(self)->owner;
    const LONG count = ::InterlockedDecrement(&owner->m_refCount);
    if (count == 0)
        delete owner;
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

HRESULT PageDocument::GetIDsOfNames(void*, REFIID, LPOLESTR*, UINT count, LCID,
                                    DISPID* ids) noexcept
{
    for (UINT i = 0; ids && i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT PageDocument::Invoke(void*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                             EXCEPINFO*, UINT*) noexcept
{
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT PageDocument::GetScript(void* self, IDispatch** script) noexcept
{
    if (!script)
        return E_POINTER;
    IDispatch* globals = Self(self)->owner->m_pScriptGlobals;
    *script = globals;
    if (!globals)
        return E_FAIL;
    globals->AddRef();
    return S_OK;
}

HRESULT PageDocument::NotImplemented() noexcept { return E_NOTIMPL; }

} // namespace pagescript
