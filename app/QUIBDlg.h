#pragma once
// CQUIBDlg: the tool's main window, run modally by CQUIBApp for the whole life of the process.
#include "framework/Dialog.h"

class CQUIBDlg : public framework::CDialog {
public:
    CQUIBDlg() noexcept;

protected:
    BOOL OnInitDialog() noexcept override;
};
