#include "app/QUIBApp.h"

#include "app/Messages.h"
#include "app/QUIBDlg.h"
#include "base/ComApartment.h"
#include "base/GdiPlus.h"
#include "download/DownloadTasks.h"

#include <commctrl.h>

namespace {

constexpr wchar_t kInstanceMutexName[] = L"QUIBMutex";
// The eight classes of the first common controls (the mask 0xFF): list and tree views, bars,
// tabs, up-down, progress, hot key and animation.
constexpr DWORD kCommonControlClasses = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                        ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS |
                                        ICC_PROGRESS_CLASS | ICC_HOTKEY_CLASS | ICC_ANIMATE_CLASS;

} // namespace

void CQUIBApp::InitInstance() noexcept
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), kCommonControlClasses};
    ::InitCommonControlsEx(&controls);

    // Both end when this returns, after the main window and its images have gone. Hosting the
    // browser control and the shell's folder browser both need OLE on this thread.
    const GdiplusSession gdiplus;
    const OleSession ole;

    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    const DWORD mutexError = ::GetLastError();
    m_instanceMutex.Reset(mutex);
    if (mutexError == ERROR_ALREADY_EXISTS) {
        // Only brought forward: a copy hidden in the tray stays hidden.
        HWND running = ::FindWindowW(nullptr, kMainWindowTitle);
        if (running)
            ::SetForegroundWindow(running);
        return;
    }
    // Where every part of the tool finds its files and values, from here on.
    MainWindowPlaces places = MainWindowPlaces::Default();
    // Only the copy that runs: the records are its downloads'.
    download::SweepOldRecords(places);

    CQUIBDlg dialog(std::move(places));
    m_pMainWnd = &dialog;
    (void)dialog.DoModal();
    m_pMainWnd = nullptr;
}
