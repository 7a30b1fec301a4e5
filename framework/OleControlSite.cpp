#include "framework/OleControlSite.h"

#include "framework/Wnd.h"

namespace framework {

COleControlSite::COleControlSite(CWnd* container) noexcept
    : m_xOleClientSite(*this), m_xOleInPlaceSite(*this), m_xOleControlSite(*this),
      m_xOleInPlaceFrame(*this), m_pContainer(container)
{
}

COleControlSite::~COleControlSite() = default;

HRESULT COleControlSite::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        found = &m_xOleClientSite;
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        found = &m_xOleInPlaceSite;
    else if (iid == IID_IOleControlSite)
        found = &m_xOleControlSite;
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        found = &m_xOleInPlaceFrame;
    else
        found = GetInterfaceHook(iid);
    *object = found;
    if (!found)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG COleControlSite::AddRef() noexcept { return ++m_dwRef; }

ULONG COleControlSite::Release() noexcept
{
    const ULONG count = --m_dwRef;
    if (count == 0)
        delete this;
    return count;
}

void COleControlSite::Detach() noexcept { m_pContainer = nullptr; }

IUnknown* COleControlSite::GetInterfaceHook(REFIID) noexcept { return nullptr; }

HWND COleControlSite::GetContainerWindow() const noexcept
{
    return m_pContainer ? m_pContainer->GetSafeHwnd() : nullptr;
}

// IOleClientSite: the control is never saved or linked; the container has no document.

HRESULT COleControlSite::XOleClientSite::SaveObject() noexcept { return E_NOTIMPL; }

HRESULT COleControlSite::XOleClientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) noexcept
{
    return ClearOut(moniker, E_NOTIMPL);
}

HRESULT COleControlSite::XOleClientSite::GetContainer(IOleContainer** container) noexcept
{
    return ClearOut(container, E_NOINTERFACE);
}

HRESULT COleControlSite::XOleClientSite::ShowObject() noexcept { return S_OK; }

HRESULT COleControlSite::XOleClientSite::OnShowWindow(BOOL) noexcept { return S_OK; }

HRESULT COleControlSite::XOleClientSite::RequestNewObjectLayout() noexcept { return E_NOTIMPL; }

// IOleInPlaceSite: the control lives in the container window and fills its client area.

HRESULT COleControlSite::XOleInPlaceSite::CanInPlaceActivate() noexcept
{
    return Owner().GetContainerWindow() ? S_OK : S_FALSE;
}

HRESULT COleControlSite::XOleInPlaceSite::OnInPlaceActivate() noexcept { return S_OK; }

HRESULT COleControlSite::XOleInPlaceSite::OnUIActivate() noexcept { return S_OK; }

HRESULT COleControlSite::XOleInPlaceSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                           IOleInPlaceUIWindow** document,
                                                           RECT* position, RECT* clip,
                                                           OLEINPLACEFRAMEINFO* info) noexcept
{
    if (!frame || !document || !position || !clip || !info)
        return E_POINTER;
    HWND window = Owner().GetContainerWindow();
    RECT client{};
    if (window)
        ::GetClientRect(window, &client);
    *position = client;
    *clip = client;
    *document = nullptr;
    *frame = &Owner().m_xOleInPlaceFrame;
    (*frame)->AddRef();
    // The control may have set only cb: fill the rest whatever size it gave.
    info->fMDIApp = FALSE;
    info->hwndFrame = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT COleControlSite::XOleInPlaceSite::Scroll(SIZE) noexcept { return E_NOTIMPL; }

HRESULT COleControlSite::XOleInPlaceSite::OnUIDeactivate(BOOL) noexcept { return S_OK; }

HRESULT COleControlSite::XOleInPlaceSite::OnInPlaceDeactivate() noexcept { return S_OK; }

HRESULT COleControlSite::XOleInPlaceSite::DiscardUndoState() noexcept { return E_NOTIMPL; }

HRESULT COleControlSite::XOleInPlaceSite::DeactivateAndUndo() noexcept { return E_NOTIMPL; }

// The container sizes the control with its own window; a control's wish to move is declined.
HRESULT COleControlSite::XOleInPlaceSite::OnPosRectChange(const RECT*) noexcept { return S_OK; }

// IOleControlSite: nothing for the container to do; keys stay with the control.

HRESULT COleControlSite::XOleControlSite::OnControlInfoChanged() noexcept { return S_OK; }

HRESULT COleControlSite::XOleControlSite::LockInPlaceActive(BOOL) noexcept { return S_OK; }

HRESULT COleControlSite::XOleControlSite::GetExtendedControl(IDispatch** control) noexcept
{
    return ClearOut(control, E_NOTIMPL);
}

HRESULT COleControlSite::XOleControlSite::TransformCoords(POINTL*, POINTF*, DWORD) noexcept
{
    return E_NOTIMPL;
}

HRESULT COleControlSite::XOleControlSite::TranslateAccelerator(MSG*, DWORD) noexcept
{
    return S_FALSE;
}

HRESULT COleControlSite::XOleControlSite::OnFocus(BOOL) noexcept { return S_OK; }

HRESULT COleControlSite::XOleControlSite::ShowPropertyFrame() noexcept { return E_NOTIMPL; }

// IOleInPlaceFrame: a dialog has no menu bar, tool space or status bar to share.

HRESULT COleControlSite::XOleInPlaceFrame::GetBorder(RECT*) noexcept
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT COleControlSite::XOleInPlaceFrame::RequestBorderSpace(const BORDERWIDTHS*) noexcept
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT COleControlSite::XOleInPlaceFrame::SetBorderSpace(const BORDERWIDTHS*) noexcept
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT COleControlSite::XOleInPlaceFrame::SetActiveObject(IOleInPlaceActiveObject*,
                                                           LPCOLESTR) noexcept
{
    return S_OK;
}

HRESULT COleControlSite::XOleInPlaceFrame::InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) noexcept
{
    return E_NOTIMPL;
}

HRESULT COleControlSite::XOleInPlaceFrame::SetMenu(HMENU, HOLEMENU, HWND) noexcept { return S_OK; }

HRESULT COleControlSite::XOleInPlaceFrame::RemoveMenus(HMENU) noexcept { return E_NOTIMPL; }

HRESULT COleControlSite::XOleInPlaceFrame::SetStatusText(LPCOLESTR) noexcept { return S_OK; }

HRESULT COleControlSite::XOleInPlaceFrame::EnableModeless(BOOL) noexcept { return S_OK; }

HRESULT COleControlSite::XOleInPlaceFrame::TranslateAccelerator(MSG*, WORD) noexcept
{
    return S_FALSE;
}

} // namespace framework
