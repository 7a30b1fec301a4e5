#pragma once
// The hidden dialog that hosts the bridge control for a page script, as the main window hosts
// the portal page. It is the application's main window unless the run asks for a separate one.
#include "framework/Dialog.h"
#include "web/HtmlCtrl.h"

#include <memory>

namespace pagescript {

class PageHost : public framework::CDialog {
public:
    PageHost() noexcept;
    ~PageHost() override;

    // Creates the hidden dialog and the control over its placeholder; the control's places
    // outlive the host.
    [[nodiscard]] bool Create(const paths::Places& places) noexcept;
    [[nodiscard]] CHtmlCtrl* Control() noexcept { return m_pControl.get(); }

private:
    std::unique_ptr<CHtmlCtrl> m_pControl;
};

} // namespace pagescript
