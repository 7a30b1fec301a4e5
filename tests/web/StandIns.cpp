#include "tests/web/StandIns.h"

#include <mshtml.h>

#include <array>
#include <cwchar>
#include <utility>

namespace test {
namespace {

// The position of an interface method in its table, found by calling it on an object whose
// every slot records its own number. Slots past the ones called are never reached; in the x64
// calling convention the caller cleans up, so one stub serves whatever the parameters.
constexpr size_t kSlots = 256;

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

constexpr DISPID kMessageTextId = 1;

} // namespace

StandIn::StandIn(Kind kind) noexcept : m_object{Vtable(), this}, m_kind(kind) {}

const void* const* StandIn::Vtable() noexcept
{
    static const std::array<const void*, kSlots> table = [] {
        std::array<const void*, kSlots> slots{};
        slots.fill(reinterpret_cast<const void*>(&NotImplemented));
        slots[0] = reinterpret_cast<const void*>(&QueryInterface);
        slots[1] = reinterpret_cast<const void*>(&AddRef);
        slots[2] = reinterpret_cast<const void*>(&Release);
        slots[5] = reinterpret_cast<const void*>(&GetIDsOfNames);
        slots[6] = reinterpret_cast<const void*>(&Invoke);
        // A document's parent window and a window's event are both "the next object".
        const size_t parentWindow = SlotOf<IHTMLDocument2>([](IHTMLDocument2* document) {
            IHTMLWindow2* window = nullptr;
            (void)document->get_parentWindow(&window);
        });
        const size_t event = SlotOf<IHTMLWindow2>([](IHTMLWindow2* window) {
            IHTMLEventObj* eventObject = nullptr;
            (void)window->get_event(&eventObject);
        });
        slots.at(parentWindow) = reinterpret_cast<const void*>(&GetNext);
        slots.at(event) = reinterpret_cast<const void*>(&GetNext);
        return slots;
    }();
    return table.data();
}

HRESULT StandIn::QueryInterface(void* self, REFIID iid, void** out) noexcept
{
    if (!out)
        return E_POINTER;
    const Kind kind = Of(self).m_kind;
    const bool answers = iid == IID_IUnknown || (kind != Kind::Plain && iid == IID_IDispatch) ||
                         (kind == Kind::Document && iid == IID_IHTMLDocument2) ||
                         (kind == Kind::Window && iid == IID_IHTMLWindow2) ||
                         (kind == Kind::Event && iid == IID_IHTMLEventObj);
    if (!answers) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = self;
    AddRef(self);
    return S_OK;
}

ULONG StandIn::AddRef(void* self) noexcept { return static_cast<ULONG>(++Of(self).m_nRefs); }

ULONG StandIn::Release(void* self) noexcept { return static_cast<ULONG>(--Of(self).m_nRefs); }

HRESULT StandIn::GetIDsOfNames(void* self, REFIID, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) noexcept
{
    StandIn& standIn = Of(self);
    if (standIn.m_kind == Kind::Event && count == 1 && std::wcscmp(names[0], L"messageText") == 0 &&
        V_VT(standIn.m_messageText.Get()) != VT_EMPTY) {
        ids[0] = kMessageTextId;
        return S_OK;
    }
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT StandIn::Invoke(void* self, DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                        VARIANT* result, EXCEPINFO*, UINT*) noexcept
{
    if (id != kMessageTextId || !(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
    return ::VariantCopy(result, Of(self).m_messageText.Get());
}

HRESULT StandIn::GetNext(void* self, IUnknown** next) noexcept
{
    StandIn* target = Of(self).m_pNext;
    *next = target ? target->Unknown() : nullptr;
    if (target)
        ++target->m_nRefs;
    return S_OK;
}

HRESULT StandIn::NotImplemented() noexcept { return E_NOTIMPL; }

} // namespace test
