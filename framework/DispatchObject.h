#pragma once
// Skeletons for the COM objects whose life belongs to a C++ owner (a window, a script host):
// the reference count is kept for the callers' sake but never frees the object, which its owner
// keeps until no reference is used any more.
//
//   class XEventSink : public DispatchObject<DIID_DWebBrowserEvents2> {
//       // GetIDsOfNames and Invoke; IUnknown and the type information come from here
//   };
#include "framework/NestedInterface.h"

#include <oaidl.h>

namespace framework {

// IUnknown for one interface: it answers IID_IUnknown, the interface's own identifier and any
// further ones given (an event interface that a sink answers with its IDispatch).
template <class Interface, const IID&... kAlsoAnswers>
class UncountedObject : public Interface {
public:
    UncountedObject() noexcept = default;
    UncountedObject(const UncountedObject&) = delete;
    UncountedObject& operator=(const UncountedObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == __uuidof(Interface) || ((iid == kAlsoAnswers) || ...)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override
    {
        return static_cast<ULONG>(::InterlockedIncrement(&m_refCount));
    }
    // Never the end of the object: the count only tells how many holders there are.
    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        return static_cast<ULONG>(::InterlockedDecrement(&m_refCount));
    }

protected:
    ~UncountedObject() = default;

private:
    LONG m_refCount = 1;
};

// IDispatch without type information: the object answers GetIDsOfNames and Invoke only.
template <const IID&... kAlsoAnswers>
class DispatchObject : public UncountedObject<IDispatch, kAlsoAnswers...> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override
    {
        return ClearOut(info, E_NOTIMPL);
    }

protected:
    ~DispatchObject() = default;
};

} // namespace framework
