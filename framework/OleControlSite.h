#pragma once
// COleControlSite: the client site through which an OLE control embedded in a window talks to
// its container: the client site itself, the in-place site, the control site and the in-place
// frame. A derived site answers further interfaces through GetInterfaceHook, with the same
// identity and the same reference count. Created with one reference for its creator and freed
// when the last reference goes; the container window detaches it when the control is closed.
// UI thread only.
#include "framework/NestedInterface.h"

#include <ocidl.h>
#include <oleidl.h>

namespace framework {

class CWnd;

class COleControlSite {
public:
    explicit COleControlSite(CWnd* container) noexcept;
    COleControlSite(const COleControlSite&) = delete;
    COleControlSite& operator=(const COleControlSite&) = delete;

    // The site's IUnknown, shared by every interface it answers.
    HRESULT QueryInterface(REFIID iid, void** object) noexcept;
    ULONG AddRef() noexcept;
    ULONG Release() noexcept;

    // The interface handed to the control (borrowed; the site's own reference count).
    [[nodiscard]] IOleClientSite* GetClientSite() noexcept { return &m_xOleClientSite; }

    // The container is going: from now on the site reaches nothing of it.
    virtual void Detach() noexcept;

protected:
    virtual ~COleControlSite();

    // Further interfaces a derived site answers: a pointer to its nested implementation, or
    // null. Reference counting is done by the caller.
    [[nodiscard]] virtual IUnknown* GetInterfaceHook(REFIID iid) noexcept;

    [[nodiscard]] HWND GetContainerWindow() const noexcept;

private:
    class XOleClientSite : public NestedInterface<IOleClientSite, COleControlSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE SaveObject() noexcept override;
        HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which,
                                             IMoniker** moniker) noexcept override;
        HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) noexcept override;
        HRESULT STDMETHODCALLTYPE ShowObject() noexcept override;
        HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) noexcept override;
        HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override;
    };

    // IOleWindow, the part that the in-place site and the in-place frame share: the window each
    // stands for (the container, or the container's top-level window), and no context help.
    enum class WindowOf { Container, TopLevel };
    template <class Interface, WindowOf kWindow>
    class XOleWindow : public NestedInterface<Interface, COleControlSite> {
    public:
        using NestedInterface<Interface, COleControlSite>::NestedInterface;
        HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override
        {
            if (!window)
                return E_POINTER;
            HWND container = this->Owner().GetContainerWindow();
            *window = container && kWindow == WindowOf::TopLevel
                          ? ::GetAncestor(container, GA_ROOT)
                          : container;
            return *window ? S_OK : E_FAIL;
        }
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    };

    class XOleInPlaceSite : public XOleWindow<IOleInPlaceSite, WindowOf::Container> {
    public:
        using XOleWindow::XOleWindow;
        HRESULT STDMETHODCALLTYPE CanInPlaceActivate() noexcept override;
        HRESULT STDMETHODCALLTYPE OnInPlaceActivate() noexcept override;
        HRESULT STDMETHODCALLTYPE OnUIActivate() noexcept override;
        HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                                   IOleInPlaceUIWindow** document, RECT* position,
                                                   RECT* clip,
                                                   OLEINPLACEFRAMEINFO* info) noexcept override;
        HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) noexcept override;
        HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) noexcept override;
        HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() noexcept override;
        HRESULT STDMETHODCALLTYPE DiscardUndoState() noexcept override;
        HRESULT STDMETHODCALLTYPE DeactivateAndUndo() noexcept override;
        HRESULT STDMETHODCALLTYPE OnPosRectChange(const RECT* position) noexcept override;
    };

    class XOleControlSite : public NestedInterface<IOleControlSite, COleControlSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE OnControlInfoChanged() noexcept override;
        HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL lock) noexcept override;
        HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) noexcept override;
        HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container,
                                                  DWORD flags) noexcept override;
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg, DWORD modifiers) noexcept override;
        HRESULT STDMETHODCALLTYPE OnFocus(BOOL gotFocus) noexcept override;
        HRESULT STDMETHODCALLTYPE ShowPropertyFrame() noexcept override;
    };

    // The in-place frame the control asks for while it activates: the container's top-level
    // window, with no menus, tool space or accelerators to share.
    class XOleInPlaceFrame : public XOleWindow<IOleInPlaceFrame, WindowOf::TopLevel> {
    public:
        using XOleWindow::XOleWindow;
        HRESULT STDMETHODCALLTYPE GetBorder(RECT* border) noexcept override;
        HRESULT STDMETHODCALLTYPE RequestBorderSpace(const BORDERWIDTHS* widths) noexcept override;
        HRESULT STDMETHODCALLTYPE SetBorderSpace(const BORDERWIDTHS* widths) noexcept override;
        HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object,
                                                  LPCOLESTR name) noexcept override;
        HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared,
                                              OLEMENUGROUPWIDTHS* widths) noexcept override;
        HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU ole,
                                          HWND activeObject) noexcept override;
        HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) noexcept override;
        HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) noexcept override;
        HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) noexcept override;
        HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg, WORD id) noexcept override;
    };

    XOleClientSite m_xOleClientSite;
    XOleInPlaceSite m_xOleInPlaceSite;
    XOleControlSite m_xOleControlSite;
    XOleInPlaceFrame m_xOleInPlaceFrame;
    CWnd* m_pContainer;
    ULONG m_dwRef = 1;
};

} // namespace framework
