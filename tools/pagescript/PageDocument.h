#pragma once
// A stand-in for the page's HTML document. It answers IHTMLDocument2 well enough for the tool:
// get_Script returns the running script's global object, just as a browser document's script
// object is the page's global scope; every other document method answers E_NOTIMPL. Like a
// browser's document it lives as long as it is referenced: a page that registers it for progress
// calls (SetCallBack) leaves a reference in the Global Interface Table until COM shuts down.
#include "base/Win.h"

#include <oaidl.h>

namespace pagescript {

class PageDocument {
public:
    PageDocument(const PageDocument&) = delete;
    PageDocument& operator=(const PageDocument&) = delete;

    // A new document as the page's script sees it, with one reference for the caller; it frees
    // itself with its last reference. Null when there is no memory.
    [[nodiscard]] static IDispatch* Create(IDispatch* scriptGlobals) noexcept;
    // The script engine is closing: the document lets go of its script, and get_Script fails.
    static void Detach(IDispatch* document) noexcept;

private:
    explicit PageDocument(IDispatch* scriptGlobals) noexcept;
    ~PageDocument();

    struct Object {
        const void* const* vtable;
        PageDocument* owner;
    };
    static Object* Self(void* object) noexcept { return static_cast<Object*>(object); }
    static HRESULT STDMETHODCALLTYPE QueryInterface(void* self, REFIID iid, void** out) noexcept;
    static ULONG STDMETHODCALLTYPE AddRef(void* self) noexcept;
    static ULONG STDMETHODCALLTYPE Release(void* self) noexcept;
    static HRESULT STDMETHODCALLTYPE GetTypeInfoCount(void* self, UINT* count) noexcept;
    static HRESULT STDMETHODCALLTYPE GetTypeInfo(void* self, UINT, LCID, ITypeInfo** out) noexcept;
    static HRESULT STDMETHODCALLTYPE GetIDsOfNames(void* self, REFIID, LPOLESTR*, UINT count,
                                                   LCID, DISPID* ids) noexcept;
    static HRESULT STDMETHODCALLTYPE Invoke(void* self, DISPID, REFIID, LCID, WORD, DISPPARAMS*,
                                            VARIANT*, EXCEPINFO*, UINT*) noexcept;
    static HRESULT STDMETHODCALLTYPE GetScript(void* self, IDispatch** script) noexcept;
    static HRESULT STDMETHODCALLTYPE NotImplemented() noexcept;
    static const void* const* BuildVtable() noexcept;

    Object m_object;
    IDispatch* m_pScriptGlobals;
    LONG m_refCount = 1;
};

} // namespace pagescript
