#pragma once
// CDocHostSite: the client site CHtmlCtrl gives its browser. Besides the ordinary site it
// answers the browser's five host interfaces, all with the site's identity and reference count:
// no context menu, no script-error box, the browser's message boxes shown as the tool's own
// (messages about ActiveX controls dropped), and for the tool's own HTTPS pages the script
// bridge and scripts and controls without prompts. It lives as long as the browser holds it;
// the control detaches it when its window goes. UI thread only.
#include "framework/OleControlSite.h"

#include <docobj.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

class CHtmlCtrl;

class CDocHostSite : public framework::COleControlSite {
public:
    explicit CDocHostSite(CHtmlCtrl* control) noexcept;

    void Detach() noexcept override;

protected:
    ~CDocHostSite() override;

    [[nodiscard]] IUnknown* GetInterfaceHook(REFIID iid) noexcept override;

    class XDocHostShowUI : public framework::NestedInterface<IDocHostShowUI, CDocHostSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE ShowMessage(HWND owner, LPOLESTR text, LPOLESTR caption,
                                              DWORD type, LPOLESTR helpFile, DWORD helpContext,
                                              LRESULT* result) noexcept override;
        HRESULT STDMETHODCALLTYPE ShowHelp(HWND owner, LPOLESTR helpFile, UINT command, DWORD data,
                                           POINT mouse, IDispatch* object) noexcept override;
    };

    class XDocHostUIHandler : public framework::NestedInterface<IDocHostUIHandler, CDocHostSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* point, IUnknown* target,
                                                  IDispatch* object) noexcept override;
        HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) noexcept override;
        HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                                         IOleCommandTarget* commandTarget, IOleInPlaceFrame* frame,
                                         IOleInPlaceUIWindow* document) noexcept override;
        HRESULT STDMETHODCALLTYPE HideUI() noexcept override;
        HRESULT STDMETHODCALLTYPE UpdateUI() noexcept override;
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) noexcept override;
        HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) noexcept override;
        HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) noexcept override;
        HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                               BOOL frameWindow) noexcept override;
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, const GUID* group,
                                                       DWORD command) noexcept override;
        HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) noexcept override;
        HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* dropTarget,
                                                IDropTarget** hostTarget) noexcept override;
        HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** dispatch) noexcept override;
        HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR url,
                                               LPWSTR* translated) noexcept override;
        HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* object,
                                                   IDataObject** filtered) noexcept override;
    };

    class XInternetSecurityManager
        : public framework::NestedInterface<IInternetSecurityManager, CDocHostSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE SetSecuritySite(IInternetSecurityMgrSite* site) noexcept override;
        HRESULT STDMETHODCALLTYPE
        GetSecuritySite(IInternetSecurityMgrSite** site) noexcept override;
        HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR url, DWORD* zone,
                                               DWORD flags) noexcept override;
        HRESULT STDMETHODCALLTYPE GetSecurityId(LPCWSTR url, BYTE* id, DWORD* size,
                                                DWORD_PTR reserved) noexcept override;
        HRESULT STDMETHODCALLTYPE ProcessUrlAction(LPCWSTR url, DWORD action, BYTE* policy,
                                                   DWORD policySize, BYTE* context,
                                                   DWORD contextSize, DWORD flags,
                                                   DWORD reserved) noexcept override;
        HRESULT STDMETHODCALLTYPE QueryCustomPolicy(LPCWSTR url, REFGUID key, BYTE** policy,
                                                    DWORD* policySize, BYTE* context,
                                                    DWORD contextSize,
                                                    DWORD reserved) noexcept override;
        HRESULT STDMETHODCALLTYPE SetZoneMapping(DWORD zone, LPCWSTR pattern,
                                                 DWORD flags) noexcept override;
        HRESULT STDMETHODCALLTYPE GetZoneMappings(DWORD zone, IEnumString** patterns,
                                                  DWORD flags) noexcept override;
    };

    class XServiceProvider : public framework::NestedInterface<IServiceProvider, CDocHostSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid,
                                               void** object) noexcept override;
    };

    class XOleCommandTarget : public framework::NestedInterface<IOleCommandTarget, CDocHostSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD* commands,
                                              OLECMDTEXT* text) noexcept override;
        HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD command, DWORD options,
                                       VARIANT* input, VARIANT* output) noexcept override;
    };

    XDocHostShowUI m_xDocHostShowUI;
    XDocHostUIHandler m_xDocHostUIHandler;
    XInternetSecurityManager m_xInternetSecurityManager;
    XServiceProvider m_xServiceProvider;
    XOleCommandTarget m_xOleCommandTarget;

    // The control that made the site; no reference held. Null once the control is gone.
    CHtmlCtrl* m_pHtmlCtrl;
};
