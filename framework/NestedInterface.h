#pragma once
// Helpers for writing COM objects by hand.
//
// NestedInterface: one COM interface of an object that answers several, a member of the outer
// object whose IUnknown methods go to the outer object's own, so that every interface shares
// one identity and one reference count.
//
//   class XOleClientSite : public NestedInterface<IOleClientSite, COleControlSite> { ... };
//
// Outer provides QueryInterface, AddRef and Release (not virtual COM methods: plain members).
#include "base/Win.h"

#include <unknwn.h>

namespace framework {

template <class Interface, class Outer> class NestedInterface : public Interface {
public:
    explicit NestedInterface(Outer& outer) noexcept : m_outer(outer) {}
    NestedInterface(const NestedInterface&) = delete;
    NestedInterface& operator=(const NestedInterface&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        return m_outer.QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return m_outer.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return m_outer.Release(); }

protected:
    [[nodiscard]] Outer& Owner() noexcept { return m_outer; }

private:
    Outer& m_outer;
};

// Answers a COM call that hands nothing out: the out-parameter is cleared, so that the caller
// never mistakes what was in it for an object.
template <class T> HRESULT ClearOut(T** out, HRESULT result) noexcept
{
    if (out)
        *out = nullptr;
    return result;
}

} // namespace framework
