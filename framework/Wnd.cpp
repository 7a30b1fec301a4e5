#include "framework/Wnd.h"

#include "framework/WinApp.h"

namespace framework {
namespace {

// The object of a window is kept in a window property, so that no field of the window's own
// class (GWLP_USERDATA, DWLP_USER) is taken from code that may use it.
constexpr wchar_t kObjectProperty[] = L"QUIB.CWnd";
constexpr wchar_t kChildClassName[] = L"QUIBChildWnd";

bool IsControlColorMessage(UINT message) noexcept
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

} // namespace

CWnd::~CWnd()
{
    // An object that goes before its window must not leave the window calling into freed memory.
    if (m_hWnd && ::IsWindow(m_hWnd))
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) noexcept
{
    return hwnd ? static_cast<CWnd*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

bool CWnd::Attach(HWND hwnd) noexcept
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return false;
    if (!::SetPropW(hwnd, kObjectProperty, this))
        return false;
    m_hWnd = hwnd;
    return true;
}

void CWnd::Detach() noexcept
{
    if (m_hWnd)
        ::RemovePropW(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) noexcept
{
    if (!Attach(hwnd))
        return false;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    if (!m_pfnSuper) {
        Detach();
        return false;
    }
    return true;
}

HWND CWnd::UnsubclassWindow() noexcept
{
    HWND hwnd = m_hWnd;
    if (hwnd && m_pfnSuper)
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    Detach();
    return hwnd;
}

bool CWnd::CreateChild(DWORD style, const RECT& rect, HWND parent, UINT id, DWORD exStyle) noexcept
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!::GetClassInfoExW(instance, kChildClassName, &existing)) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &ChildClassProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kChildClassName;
        if (!::RegisterClassExW(&windowClass))
            return false;
    }
    HWND hwnd = ::CreateWindowExW(exStyle, kChildClassName, L"", style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
    return hwnd != nullptr && m_hWnd == hwnd;
}

LRESULT CALLBACK CWnd::ChildClassProc(HWND hwnd, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept
{
    // The object arrives with the first message and is attached before anything else runs, so
    // that WM_CREATE already reaches its handlers. The class's own procedure is DefWindowProc.
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* wnd = static_cast<CWnd*>(create->lpCreateParams);
        if (wnd && wnd->Attach(hwnd)) {
            wnd->m_pfnSuper = &::DefWindowProcW;
            ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
            return wnd->WindowProc(message, wParam, lParam);
        }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept
{
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return wnd->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    const CurrentMessage outer = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (message == WM_NCDESTROY) {
        result = DefWindowProc(message, wParam, lParam);
        UnsubclassWindow();
        m_current = outer;
        PostNcDestroy(); // may delete this object: nothing touches it afterwards
        return result;
    }
    if (!OnWndMsg(message, wParam, lParam, result))
        result = DefWindowProc(message, wParam, lParam);
    m_current = outer;
    return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    if (message == WM_DRAWITEM || message == WM_MEASUREITEM || IsControlColorMessage(message))
        return ReflectToChild(message, wParam, lParam, result);
    return false;
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    // The system always passes the item's description. A message sent by hand with a zero
    // instead (SendMessage from a page) describes nothing: nothing is drawn or measured.
    if ((message == WM_DRAWITEM || message == WM_MEASUREITEM) && !lParam) {
        result = FALSE;
        return true;
    }
    HWND child = nullptr;
    if (message == WM_DRAWITEM)
        child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    else if (IsControlColorMessage(message))
        child = reinterpret_cast<HWND>(lParam);
    else if (message == WM_MEASUREITEM)
        child = ::GetDlgItem(m_hWnd, static_cast<int>(
                                         reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID));
    CWnd* control = FromHandlePermanent(child);
    return control && control != this && control->OnChildNotify(message, wParam, lParam, result);
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT&) noexcept { return false; }

bool CWnd::PreTranslateMessage(MSG&) noexcept { return false; }

bool CWnd::WalkPreTranslateTree(HWND stop, MSG& msg) noexcept
{
    // The innermost window first: a control embedded in a dialog sees its keys before the
    // dialog manager turns Escape and Enter into the dialog's commands.
    for (HWND hwnd = msg.hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = FromHandlePermanent(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg))
            return true;
        if (hwnd == stop || !(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return false;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() noexcept
{
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

} // namespace framework
