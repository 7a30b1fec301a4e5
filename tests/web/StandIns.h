#pragma once
// Stand-ins for the objects the browser passes with its "show message" command: a document
// whose parent window has a current event with a "messageText" property. Each counts its
// references, so that a test can tell that everything obtained was released again.
#include "base/Variant.h"

#include <oaidl.h>

namespace test {

class StandIn {
public:
    enum class Kind { Document, Window, Event, Plain };

    explicit StandIn(Kind kind) noexcept;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // The object as the browser would pass it (no reference added).
    [[nodiscard]] IUnknown* Unknown() noexcept { return reinterpret_cast<IUnknown*>(&m_object); }
    // References held by others than the test, which holds the first.
    [[nodiscard]] LONG ForeignReferences() const noexcept { return m_nRefs - 1; }

    // Document: its parent window. Window: its current event. Null: the object has none.
    StandIn* m_pNext = nullptr;
    // Event: the value of "messageText"; VT_EMPTY means the event has no such property.
    Variant m_messageText;

private:
    struct Object {
        const void* const* vtable;
        StandIn* owner;
    };
    static StandIn& Of(void* self) noexcept { return *static_cast<Object*>(self)->owner; }
    static HRESULT STDMETHODCALLTYPE QueryInterface(void* self, REFIID iid, void** out) noexcept;
    static ULONG STDMETHODCALLTYPE AddRef(void* self) noexcept;
    static ULONG STDMETHODCALLTYPE Release(void* self) noexcept;
    static HRESULT STDMETHODCALLTYPE GetIDsOfNames(void* self, REFIID, LPOLESTR* names, UINT count,
                                                   LCID, DISPID* ids) noexcept;
    static HRESULT STDMETHODCALLTYPE Invoke(void* self, DISPID id, REFIID, LCID, WORD flags,
                                            DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                            UINT*) noexcept;
    static HRESULT STDMETHODCALLTYPE GetNext(void* self, IUnknown** next) noexcept;
    static HRESULT STDMETHODCALLTYPE NotImplemented() noexcept;
    static const void* const* Vtable() noexcept;

    Object m_object;
    Kind m_kind;
    LONG m_nRefs = 1;
};

} // namespace test
