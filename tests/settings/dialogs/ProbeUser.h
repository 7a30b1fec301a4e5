#pragma once
// The user's hands in dialog_probe: a thread of its own that clicks, types and presses keys in
// the settings dialog, drives the folder browser and answers message boxes, all in the probe's
// own process, and reports what it saw as tab-separated UTF-8 lines on standard output:
//
//   state    <ids of the ticked check box and radio buttons, comma-separated>  <edit box text>
//   browser  <owner's title or "none">  <texts of the browser's labels, '|'-separated>
//   message  <owner's title>  <1 when it shows an icon, else 0>  <text>
//   error    <what went wrong>
#include "base/Unique.h"

#include <string>
#include <string_view>
#include <vector>

namespace probe {

// One line of output; safe from any thread.
void WriteFields(std::initializer_list<std::wstring_view> fields);

class ProbeUser {
public:
    // boxCaption: the caption of the application's message boxes; mainWindow: the window the
    // user leaves alone.
    ProbeUser(std::wstring boxCaption, HWND mainWindow);
    ProbeUser(const ProbeUser&) = delete;
    ProbeUser& operator=(const ProbeUser&) = delete;
    ~ProbeUser();

    // Performs the steps once `ready` is set, in the settings dialog `dialog`; `browseDone` is
    // set each time the dialog has finished handling its browse button. Steps: report,
    // click:<id>, type:<text>, key:enter, key:escape, browse:<target>.
    void StartInDialog(HANDLE ready, HWND* dialog, HANDLE browseDone,
                       std::vector<std::wstring> steps);
    // Answers one folder browser and the message boxes that follow until `done` is set. The
    // target: a folder's path, "cancel", or "computer" (a folder that is no file-system folder,
    // chosen past the browser's disabled OK button).
    void StartBrowse(std::wstring target, HANDLE done);
    // Called once the code under test has come back: waits for the thread to end; false when
    // it had to give up or the wait timed out.
    [[nodiscard]] bool Finish();

private:
    static DWORD WINAPI Run(void* self) noexcept;
    bool RunDialogSteps();
    bool Step(HWND dialog, const std::wstring& step);
    bool Browse(const std::wstring& target, HANDLE done);
    bool Fail(std::wstring_view what);
    // After a failure: closes every dialog and box of the probe but the main window, so that
    // the probe ends and reports instead of waiting for a user who has given up.
    void CloseEverything();

    std::wstring m_boxCaption;
    HWND m_hMainWindow;
    HANDLE m_ready = nullptr;
    HWND* m_dialog = nullptr;
    HANDLE m_done = nullptr;
    std::vector<std::wstring> m_steps;
    std::wstring m_browseTarget;
    bool m_bDialogSteps = false;
    bool m_bFailed = false;
    UniqueHandle m_finishing;
    UniqueHandle m_thread;
};

} // namespace probe
