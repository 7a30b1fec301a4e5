#pragma once
// CWnd: a C++ object attached to a window. The window's procedure is replaced (subclassed) so
// that every message goes first through the object's message maps (OnWndMsg) and then to the
// procedure the window had before (DefWindowProc). Owner-draw and control-colour messages that
// a parent receives are first offered to the child control's object (OnChildNotify).
#include "base/Win.h"

namespace framework {

class CWnd {
public:
    CWnd() noexcept = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    [[nodiscard]] HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    [[nodiscard]] static CWnd* FromHandlePermanent(HWND hwnd) noexcept;

    // Attaches this object to an existing window and routes its messages through the object.
    [[nodiscard]] bool SubclassWindow(HWND hwnd) noexcept;
    // Gives the window its old procedure back and detaches the object.
    HWND UnsubclassWindow() noexcept;

    // Offers a message to the objects of its window and of each parent in turn, before it is
    // dispatched; stops after `stop` or the top-level window. True when one of them took it.
    [[nodiscard]] static bool WalkPreTranslateTree(HWND stop, MSG& msg) noexcept;

    // Creates a child window of the framework's own class, routed through this object.
    [[nodiscard]] bool CreateChild(DWORD style, const RECT& rect, HWND parent, UINT id,
                                   DWORD exStyle = 0) noexcept;

    HWND m_hWnd = nullptr;

protected:
    // Routes one message; true when a handler took it, with its answer in result.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;
    // What happens to a message no handler took: the window's previous procedure.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // A message the parent reflected to this control (WM_DRAWITEM, WM_CTLCOLOR...).
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT& result) noexcept;
    // Takes a message out of the loop before it is dispatched (the dialog manager's keys, an
    // embedded control's accelerators); true when it was handled here.
    virtual bool PreTranslateMessage(MSG& msg) noexcept;
    // Called after the last message (WM_NCDESTROY), once the object is detached.
    virtual void PostNcDestroy() noexcept {}

    // The default handling of the message being routed now.
    LRESULT Default() noexcept;
    // Offers a parent's message to the child control's object; true if the child took it.
    bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    struct CurrentMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    bool Attach(HWND hwnd) noexcept;
    void Detach() noexcept;
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                         LPARAM lParam) noexcept;
    static LRESULT CALLBACK ChildClassProc(HWND hwnd, UINT message, WPARAM wParam,
                                           LPARAM lParam) noexcept;

    WNDPROC m_pfnSuper = nullptr;
    CurrentMessage m_current;
};

} // namespace framework
