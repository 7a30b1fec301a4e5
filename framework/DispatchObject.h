#pragma once
// Skeletons for the COM objects whose life belongs to a C++ owner (a window, a script host):
// the reference count is kept for the callers' sake but never frees the object, which its owner
// keeps until no reference is used any more.
//
//   class XEventSink : public DispatchObject<DIID_DWebBrowserEvents2> {
//       // GetIDsOfNames and Invoke; IUnknown and the type information come from here
//   };
#include "framework/NestedInterface.h"

#include <dispex.h>
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

// IDispatch (or an interface derived from it) without type information: the object answers
// GetIDsOfNames and Invoke only.
template <class Interface, const IID&... kAlsoAnswers>
class TypelessDispatch : public UncountedObject<Interface, kAlsoAnswers...> {
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
    ~TypelessDispatch() = default;
};

template <const IID&... kAlsoAnswers>
using DispatchObject = TypelessDispatch<IDispatch, kAlsoAnswers...>;

// IDispatchEx for objects whose members are a fixed table: script engines call InvokeEx and
// name the calling script through its service provider. Derived classes answer GetIDsOfNames
// and InvokeFrom; a plain Invoke arrives there with no caller. Members are neither added nor
// deleted nor enumerated.
class DispatchExObject : public TypelessDispatch<IDispatchEx, IID_IDispatch> {
public:
    // `caller` is the engine's service provider, or null when nothing says who calls.
    virtual HRESULT InvokeFrom(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* exception, UINT* argError,
                               IServiceProvider* caller) noexcept = 0;

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept override
    {
        return InvokeFrom(id, flags, params, result, exception, argError, nullptr);
    }
    // Engines ask with fdexNameCaseSensitive (Wine's JScript always does); the table's own
    // lookup decides about case all the same, and no member is ever created.
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD, DISPID* id) noexcept override
    {
        return GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, id);
    }
    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params,
                                       VARIANT* result, EXCEPINFO* exception,
                                       IServiceProvider* caller) noexcept override
    {
        // Engines pass the object a method was called on as a first named argument DISPID_THIS;
        // the table's methods have no use for it. Any other named argument is left in place
        // for the table to refuse.
        DISPPARAMS withoutThis{};
        if (params && params->cNamedArgs > 0 && params->cArgs >= params->cNamedArgs &&
            params->rgdispidNamedArgs && params->rgdispidNamedArgs[0] == DISPID_THIS) {
            withoutThis = {params->rgvarg + 1, params->rgdispidNamedArgs + 1, params->cArgs - 1,
                           params->cNamedArgs - 1};
            params = &withoutThis;
        }
        return InvokeFrom(id, flags, params, result, exception, nullptr, caller);
    }
    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR, DWORD) noexcept override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID) noexcept override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID, DWORD, DWORD* properties) noexcept
        override
    {
        if (properties)
            *properties = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID, BSTR* name) noexcept override
    {
        if (name)
            *name = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD, DISPID, DISPID* next) noexcept override
    {
        if (next)
            *next = DISPID_STARTENUM;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** parent) noexcept override
    {
        return ClearOut(parent, E_NOTIMPL);
    }

protected:
    ~DispatchExObject() = default;
};

} // namespace framework
