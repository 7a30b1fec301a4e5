#pragma once
// CQUIBApp: start-up and shutdown of the process. The main window runs as a modal dialog inside
// InitInstance, and that dialog's loop is the program's only message loop.
#include "base/Unique.h"
#include "framework/WinApp.h"

class CQUIBApp : public framework::CWinApp {
public:
    void InitInstance() noexcept override;

private:
    // Its existence marks a running copy in this logon session; it goes with the process.
    UniqueHandle m_instanceMutex;
};
