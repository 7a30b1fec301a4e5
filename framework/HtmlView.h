#pragma once
// CHtmlView: a child window that hosts the system's web browser control as an in-place active
// OLE object filling its client area. The browser is created with the window, from a client
// site that CreateControlSite makes, and released when the window is destroyed. A site that
// customises the browser forwards the browser's host questions to the On... operations below,
// whose answers here leave the browser's own behaviour unchanged. UI thread only.
#include "framework/DispatchObject.h"
#include "framework/MessageMap.h"
#include "framework/OleControlSite.h"
#include "framework/Wnd.h"

#include <exdisp.h>
#include <mshtmhst.h>
#include <string>
#include <wrl/client.h>

namespace framework {

class CHtmlView : public WithMessageMap<CHtmlView, CWnd> {
public:
    CHtmlView() noexcept;
    ~CHtmlView() override;

    // Navigates the browser to an address; E_UNEXPECTED when there is no browser.
    [[nodiscard]] HRESULT Navigate(const wchar_t* url) noexcept;
    // The address of the browser's top-level document; empty when there is none.
    [[nodiscard]] std::wstring GetLocationURL() const noexcept;

    // The host questions of the browser's document, forwarded by the site.
    virtual HRESULT OnShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                                      IDispatch* object) noexcept;
    virtual HRESULT OnGetHostInfo(DOCHOSTUIINFO* info) noexcept;
    virtual HRESULT OnShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                             IOleCommandTarget* commandTarget, IOleInPlaceFrame* frame,
                             IOleInPlaceUIWindow* document) noexcept;
    virtual HRESULT OnHideUI() noexcept;
    virtual HRESULT OnUpdateUI() noexcept;
    virtual HRESULT OnEnableModeless(BOOL enable) noexcept;
    virtual HRESULT OnDocWindowActivate(BOOL activate) noexcept;
    virtual HRESULT OnFrameWindowActivate(BOOL activate) noexcept;
    virtual HRESULT OnResizeBorder(const RECT* border, IOleInPlaceUIWindow* window,
                                   BOOL frameWindow) noexcept;
    virtual HRESULT OnTranslateAccelerator(MSG* msg, const GUID* group, DWORD command) noexcept;
    virtual HRESULT OnGetOptionKeyPath(LPOLESTR* key, DWORD reserved) noexcept;
    virtual HRESULT OnGetDropTarget(IDropTarget* dropTarget, IDropTarget** hostTarget) noexcept;
    virtual HRESULT OnGetExternal(IDispatch** dispatch) noexcept;
    virtual HRESULT OnTranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** translated) noexcept;
    virtual HRESULT OnFilterDataObject(IDataObject* object, IDataObject** filtered) noexcept;

    // Browser events.
    virtual void OnNavigateComplete2(const wchar_t* url) noexcept;
    virtual void OnProgressChange(long progress, long progressMax) noexcept;

protected:
    // Makes the client site the browser gets (one reference for the caller). FALSE when it
    // cannot; the view then hosts the browser with a plain site.
    virtual BOOL CreateControlSite(CHtmlView* container, COleControlSite** site, UINT id,
                                   REFCLSID clsid) noexcept;

    // Keys typed in the page belong to the page: the browser's accelerators first, and what it
    // leaves stays inside the view, so that Escape or Enter in the page never acts on the
    // hosting dialog.
    bool PreTranslateMessage(MSG& msg) noexcept override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnSize(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) noexcept;

    // Closes the browser control, disconnects its site and its events and releases it.
    void DestroyBrowser() noexcept;

    // The browser's automation object while the window exists.
    Microsoft::WRL::ComPtr<IWebBrowser2> m_pBrowserApp;

private:
    // Where the browser's events (DWebBrowserEvents2) arrive. It lives as long as the view.
    class XEventSink : public DispatchObject<DIID_DWebBrowserEvents2> {
    public:
        explicit XEventSink(CHtmlView& view) noexcept : m_view(view) {}
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                LCID locale, DISPID* ids) noexcept override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                         UINT* argError) noexcept override;

    private:
        CHtmlView& m_view;
    };

    [[nodiscard]] bool CreateBrowser() noexcept;
    void ConnectEvents() noexcept;

    friend WithMessageMap;
    static const MessageMap<CHtmlView> s_messageMap;

    XEventSink m_xEventSink;
    Microsoft::WRL::ComPtr<IOleObject> m_pBrowserObject;
    Microsoft::WRL::ComPtr<COleControlSite> m_pSite;
    Microsoft::WRL::ComPtr<IConnectionPoint> m_pEventPoint;
    DWORD m_dwEventCookie = 0;
};

} // namespace framework
