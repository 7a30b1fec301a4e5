#pragma once
// DialogVer: the modal update-log dialog (template 131): a scrollable web page control showing
// the tools server's update list.
#include "framework/Dialog.h"

class DialogVer : public framework::CDialog {
public:
    DialogVer() noexcept;
};
