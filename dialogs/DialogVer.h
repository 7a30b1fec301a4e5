#pragma once
// DialogVer: the modal update-log dialog (template 131), whose whole client area is a
// scrollable web page control showing the tools server's update list. Lives on the opener's
// stack for one modal run and owns its page control; UI thread only.
#include "base/Places.h"
#include "framework/Dialog.h"

#include <memory>

class CHtmlCtrl;

class DialogVer : public framework::CDialog {
public:
    // The places are the page control's, and outlive the dialog.
    explicit DialogVer(const paths::Places& places) noexcept;
    ~DialogVer() override;

protected:
    BOOL OnInitDialog() noexcept override;

    // Created with the window; deleted with the dialog object, after its window has gone.
    std::unique_ptr<CHtmlCtrl> m_pLogPage;

private:
    const paths::Places& m_places;
};
