// Script methods that act on windows, start programs and put text on the clipboard. The
// hosting window is the control's parent: the main window for the portal page, the update-log
// dialog for its own page.
#include "base/Unique.h"
#include "framework/WinApp.h"
#include "web/HostMessages.h"
#include "web/HtmlCtrl.h"

#include <cstring>
#include <cwchar>
#include <shellapi.h>
#include <string>

namespace {

constexpr wchar_t kRunFailedText[] = L"游戏不能运行，请检查游戏文件是否完整";
constexpr wchar_t kClipboardOpenFailedText[] = L"打开剪切板失败";
constexpr wchar_t kClipboardEmptyFailedText[] = L"清空剪切板失败";

// What the system's move loop expects from a press on a caption.
constexpr WPARAM kMoveFromCaption = SC_MOVE | HTCAPTION;

HWND HostingWindow(HWND control) noexcept { return control ? ::GetParent(control) : nullptr; }

// Posted, not sent: the page's call returns before the hosting window acts. A control without
// a parent has nobody to tell (a null window would post to this thread's own queue).
void PostToHost(HWND control, UINT message) noexcept
{
    if (HWND host = HostingWindow(control))
        ::PostMessageW(host, message, 0, 0);
}

// The working folder is the path up to and including its last '\'; none for a bare name.
std::wstring WorkingFolderOf(const wchar_t* path)
{
    const std::wstring text(path);
    const size_t slash = text.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : text.substr(0, slash + 1);
}

bool OpenWithShell(const wchar_t* path) noexcept
{
    try {
        // An empty path names nothing; the shell would open some folder instead.
        if (!*path)
            return false;
        const std::wstring folder = WorkingFolderOf(path);
        const auto result = reinterpret_cast<INT_PTR>(
            ::ShellExecuteW(nullptr, nullptr, path, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL));
        return result > 32;
    } catch (...) {
        return false;
    }
}

// A block the clipboard can take over, holding the text with its terminating NUL.
UniqueGlobal MakeTextBlock(const wchar_t* text) noexcept
{
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes));
    void* memory = block ? ::GlobalLock(block.Get()) : nullptr;
    if (!memory)
        return UniqueGlobal();
    std::memcpy(memory, text, bytes);
    ::GlobalUnlock(block.Get());
    return block;
}

// Closes the clipboard on every way out.
class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner) noexcept : m_bOpen(::OpenClipboard(owner) != FALSE) {}
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    ~ClipboardSession() { Close(); }

    [[nodiscard]] bool IsOpen() const noexcept { return m_bOpen; }
    void Close() noexcept
    {
        if (m_bOpen)
            ::CloseClipboard();
        m_bOpen = false;
    }

private:
    bool m_bOpen;
};

} // namespace

void CHtmlCtrl::MoveWindow() noexcept
{
    // Returns when the user lets go of the mouse: the system runs its move loop meanwhile.
    if (HWND host = HostingWindow(m_hWnd))
        ::SendMessageW(host, WM_SYSCOMMAND, kMoveFromCaption, 0);
}

long CHtmlCtrl::GetMainWindow() noexcept { return WindowToLong(framework::AfxGetMainHwnd()); }

long CHtmlCtrl::SendMessage(long window, long message, long wParam, long lParam) noexcept
{
    // Parameters are sign-extended like handles, so a handle passed in either one survives.
    return static_cast<long>(::SendMessageW(LongToWindow(window), static_cast<UINT>(message),
                                            static_cast<WPARAM>(static_cast<LONG_PTR>(wParam)),
                                            static_cast<LPARAM>(lParam)));
}

long CHtmlCtrl::GetParentWindow() noexcept { return WindowToLong(HostingWindow(m_hWnd)); }

long CHtmlCtrl::ShowWindow(long window, long showCommand) noexcept
{
    return ::ShowWindow(LongToWindow(window), static_cast<int>(showCommand));
}

void CHtmlCtrl::MaxOrNormalWindow() noexcept
{
    if (HWND host = HostingWindow(m_hWnd))
        ::ShowWindow(host, ::IsZoomed(host) ? SW_SHOWNORMAL : SW_MAXIMIZE);
}

long CHtmlCtrl::RunExe(const wchar_t* path) noexcept
{
    if (OpenWithShell(path))
        return TRUE;
    // The page's script waits here until the player has read the message.
    framework::AfxMessageBox(kRunFailedText, MB_OK);
    return FALSE;
}

long CHtmlCtrl::UpdateBegin() noexcept
{
    PostToHost(m_hWnd, WM_UPDATE_FOUND);
    return TRUE;
}

long CHtmlCtrl::Find() noexcept
{
    PostToHost(m_hWnd, WM_BROWSE_GAME_DIR);
    return TRUE;
}

long CHtmlCtrl::CopyStr(const wchar_t* text) noexcept
{
    // Made before the clipboard is emptied, so that running out of memory leaves the
    // clipboard's old content in place.
    UniqueGlobal block = MakeTextBlock(text);
    if (!block)
        return FALSE;
    ClipboardSession clipboard(m_hWnd);
    if (!clipboard.IsOpen()) {
        framework::AfxMessageBox(kClipboardOpenFailedText, MB_OK);
        return FALSE;
    }
    if (!::EmptyClipboard()) {
        // Closed before the message, so that other programs are not locked out meanwhile.
        clipboard.Close();
        framework::AfxMessageBox(kClipboardEmptyFailedText, MB_OK);
        return FALSE;
    }
    if (!::SetClipboardData(CF_UNICODETEXT, block.Get()))
        return FALSE;
    (void)block.Release(); // the clipboard owns the block now
    return TRUE;
}
