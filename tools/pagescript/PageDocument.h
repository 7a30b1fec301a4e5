#pragma once
// Stand-ins for the browser's page objects, shared by pagescript and the tests (a library of its
// own, quib_page_objects). pagescript's `document` is one: its get_Script returns the running
// script's global object, just as a browser document's script object is the page's global
// scope. The tests link documents, windows and events the way a browser links them, to check
// code that walks from a document to its window's current event and releases what it got.
#include "base/Variant.h"

#include <oaidl.h>

#include <memory>
#include <string>
#include <string_view>

namespace pagescript {

// One object of a page. It answers QueryInterface for IUnknown, IDispatch and its kind's
// interfaces, and of their methods only these; every other answers E_NOTIMPL:
//   Document  IHTMLDocument, IHTMLDocument2: get_Script (the script set), get_parentWindow,
//             get_URL (the address set)
//   Window    IHTMLWindow2: get_event
//   Event     IHTMLEventObj
//   Plain     IUnknown only
// Any kind may answer one named property through IDispatch (an event's "messageText"). Like a
// browser's objects it lives as long as it is referenced: a page that registers its document
// for progress calls leaves a reference in the Global Interface Table until COM shuts down.
class PageObject {
public:
    enum class Kind { Document, Window, Event, Plain };

    struct Releaser {
        void operator()(PageObject* object) const noexcept { object->Release(); }
    };
    // Holds the creator's reference.
    using Ptr = std::unique_ptr<PageObject, Releaser>;

    // A new object with one reference, the caller's; null when there is no memory.
    [[nodiscard]] static Ptr Create(Kind kind) noexcept;
    // The object behind an interface pointer that Dispatch() gave out.
    [[nodiscard]] static PageObject* FromDispatch(IDispatch* object) noexcept;

    PageObject(const PageObject&) = delete;
    PageObject& operator=(const PageObject&) = delete;

    // The object as COM sees it, whatever its kind (no reference added).
    [[nodiscard]] IDispatch* Dispatch() noexcept { return reinterpret_cast<IDispatch*>(&m_object); }
    void AddRef() noexcept;
    void Release() noexcept;
    // References held now, the creator's included.
    [[nodiscard]] LONG References() const noexcept { return m_nRefs; }
    // Objects of any kind alive in this process.
    [[nodiscard]] static LONG Alive() noexcept { return s_nAlive; }

    // Document: what get_Script answers, referenced while set. Null makes get_Script fail.
    void SetScript(IDispatch* script) noexcept;
    // Document: what get_URL answers; empty at first.
    void SetUrl(std::wstring_view url);
    // Document: its parent window; Window: its current event. Borrowed, so the caller keeps it
    // alive as long as this object is used; unlinked, the method answers S_OK and null.
    void Link(PageObject* next) noexcept { m_pNext = next; }
    // The named property, for the caller to fill in; while it is VT_EMPTY there is none.
    [[nodiscard]] VARIANT* Property(std::wstring_view name);

private:
    explicit PageObject(Kind kind) noexcept;
    ~PageObject();

    struct Object {
        const void* const* vtable;
        PageObject* owner;
    };
    static PageObject& Of(void* self) noexcept { return *static_cast<Object*>(self)->owner; }
    static HRESULT STDMETHODCALLTYPE QueryInterface(void* self, REFIID iid, void** out) noexcept;
    static ULONG STDMETHODCALLTYPE ComAddRef(void* self) noexcept;
    static ULONG STDMETHODCALLTYPE ComRelease(void* self) noexcept;
    static HRESULT STDMETHODCALLTYPE GetTypeInfoCount(void* self, UINT* count) noexcept;
    static HRESULT STDMETHODCALLTYPE GetTypeInfo(void* self, UINT, LCID, ITypeInfo** out) noexcept;
    static HRESULT STDMETHODCALLTYPE GetIDsOfNames(void* self, REFIID, LPOLESTR* names, UINT count,
                                                   LCID, DISPID* ids) noexcept;
    static HRESULT STDMETHODCALLTYPE Invoke(void* self, DISPID id, REFIID, LCID, WORD flags,
                                            DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                            UINT*) noexcept;
    static HRESULT STDMETHODCALLTYPE GetScript(void* self, IDispatch** script) noexcept;
    static HRESULT STDMETHODCALLTYPE GetNext(void* self, IUnknown** next) noexcept;
    static HRESULT STDMETHODCALLTYPE GetUrl(void* self, BSTR* url) noexcept;
    static HRESULT STDMETHODCALLTYPE NotImplemented() noexcept;
    static const void* const* Vtable(Kind kind) noexcept;
    [[nodiscard]] bool Answers(REFIID iid) const noexcept;

    Object m_object;
    Kind m_kind;
    LONG m_nRefs = 1;
    IDispatch* m_pScript = nullptr;
    PageObject* m_pNext = nullptr;
    std::wstring m_strUrl;
    std::wstring m_strPropertyName;
    Variant m_property;
    static LONG s_nAlive;
};

// pagescript's `document`.
class PageDocument {
public:
    // A document at the address whose script is the given global object, with one reference
    // for the caller; it frees itself with its last reference. Null when there is no memory.
    [[nodiscard]] static IDispatch* Create(IDispatch* scriptGlobals,
                                           std::wstring_view url) noexcept;
    // The script engine is closing: the document lets go of its script, and get_Script fails.
    static void Detach(IDispatch* document) noexcept;
};

} // namespace pagescript
