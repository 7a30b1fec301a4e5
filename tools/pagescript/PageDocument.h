#pragma once
// pagescript's `document`, a stand-in for the page's HTML document (a library of its own,
// quib_page_objects, which the tests link to hand the bridge a document too). It answers
// IUnknown, IDispatch, IHTMLDocument and IHTMLDocument2, and of their methods only get_Script
// (the running script's global object, just as a browser document's script object is the
// page's global scope) and get_URL (the address it was made with); every other answers
// E_NOTIMPL. Like a browser's document it lives as long as it is referenced: a page that
// registers it for progress calls leaves a reference in the Global Interface Table until COM
// shuts down.
#include "base/Win.h"

#include <oaidl.h>

#include <string>
#include <string_view>

namespace pagescript {

class PageDocument {
public:
    PageDocument(const PageDocument&) = delete;
    PageDocument& operator=(const PageDocument&) = delete;

    // A document at the address whose script is the given global object, with one reference
    // for the caller; it frees itself with its last reference. Null when there is no memory.
    [[nodiscard]] static IDispatch* Create(IDispatch* scriptGlobals,
                                           std::wstring_view url) noexcept;
    // The script engine is closing: the document lets go of its script, and get_Script fails.
    static void Detach(IDispatch* document) noexcept;

private:
    PageDocument(IDispatch* scriptGlobals, std::wstring_view url);
    ~PageDocument();

    struct Object {
        const void* const* vtable;
        PageDocument* owner;
    };
    static PageDocument& Of(void* self) noexcept { return *static_cast<Object*>(self)->owner; }
    static HRESULT STDMETHODCALLTYPE QueryInterface(void* self, REFIID iid, void** out) noexcept;
    static ULONG STDMETHODCALLTYPE AddRef(void* self) noexcept;
    static ULONG STDMETHODCALLTYPE Release(void* self) noexcept;
    static HRESULT STDMETHODCALLTYPE GetTypeInfoCount(void* self, UINT* count) noexcept;
    static HRESULT STDMETHODCALLTYPE GetTypeInfo(void* self, UINT, LCID, ITypeInfo** out) noexcept;
    static HRESULT STDMETHODCALLTYPE GetIDsOfNames(void* self, REFIID, LPOLESTR* names, UINT count,
                                                   LCID, DISPID* ids) noexcept;
    static HRESULT STDMETHODCALLTYPE Invoke(void* self, DISPID id, REFIID, LCID, WORD flags,
                                            DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                            UINT*) noexcept;
    static HRESULT STDMETHODCALLTYPE GetScript(void* self, IDispatch** script) noexcept;
    static HRESULT STDMETHODCALLTYPE GetUrl(void* self, BSTR* url) noexcept;
    static HRESULT STDMETHODCALLTYPE NotImplemented() noexcept;
    static const void* const* Vtable() noexcept;

    Object m_object;
    LONG m_nRefs = 1;
    IDispatch* m_pScript;
    std::wstring m_strUrl;
};

} // namespace pagescript
