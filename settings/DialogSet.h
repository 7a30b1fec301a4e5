#pragma once
// DialogSet: the modal settings dialog (template 130) that the main window's settings button
// opens: autostart, what closing the main window does, updates, and the game directory.
#include "framework/Button.h"
#include "framework/Dialog.h"

#include <string>

class DialogSet : public framework::CDialog {
public:
    DialogSet() noexcept;
};

// The folder browser with the check for the game's launcher; stores the chosen directory in
// config.ini (Info/PATH) and returns it, or returns empty text after a cancel or a refusal.
[[nodiscard]] std::wstring ChooseGameDirectory() noexcept;
