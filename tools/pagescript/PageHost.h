#pragma once
// The hidden dialog that hosts the bridge control for a page script, as the main window hosts
// the portal page. It is the application's main window. What the page asks of its hosting
// window (the requests of Find and UpdateBegin, the drag of MoveWindow) it writes to standard
// output instead of acting on it: there is no player to choose a folder or drag a window.
#include "framework/Dialog.h"
#include "framework/MessageMap.h"
#include "web/HtmlCtrl.h"

#include <memory>

namespace pagescript {

class PageHost : public framework::WithMessageMap<PageHost, framework::CDialog> {
public:
    PageHost() noexcept;
    ~PageHost() override;

    // Creates the hidden dialog and the control over its placeholder; the control's places
    // outlive the host.
    [[nodiscard]] bool Create(const paths::Places& places) noexcept;
    [[nodiscard]] CHtmlCtrl* Control() noexcept { return m_pControl.get(); }
    // Handles the requests the bridge has posted to this window and not yet been handled, so
    // that they are reported right after the call that posted them.
    void HandlePostedRequests() noexcept;

private:
    LRESULT OnBrowseGameDir(WPARAM, LPARAM) noexcept;
    LRESULT OnUpdateFound(WPARAM, LPARAM) noexcept;
    LRESULT OnSysCommand(WPARAM command, LPARAM point) noexcept;

    friend WithMessageMap;
    static const framework::MessageMap<PageHost> s_messageMap;

    std::unique_ptr<CHtmlCtrl> m_pControl;
};

} // namespace pagescript
