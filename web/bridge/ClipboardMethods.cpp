// Script method that puts text on the clipboard.
#include "base/Unique.h"
#include "framework/StringTable.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "web/HtmlCtrl.h"

#include <cstring>
#include <cwchar>

namespace {

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

long CHtmlCtrl::CopyStr(const wchar_t* text) noexcept
{
    // Made before the clipboard is emptied, so that running out of memory leaves the
    // clipboard's old content in place.
    UniqueGlobal block = MakeTextBlock(text);
    if (!block)
        return FALSE;
    ClipboardSession clipboard(m_hWnd);
    if (!clipboard.IsOpen()) {
        framework::AfxMessageBox(framework::LoadText(IDS_CLIPBOARD_OPEN_FAILED).c_str(), MB_OK);
        return FALSE;
    }
    if (!::EmptyClipboard()) {
        // Closed before the message, so that other programs are not locked out meanwhile.
        clipboard.Close();
        framework::AfxMessageBox(framework::LoadText(IDS_CLIPBOARD_EMPTY_FAILED).c_str(), MB_OK);
        return FALSE;
    }
    if (!::SetClipboardData(CF_UNICODETEXT, block.Get()))
        return FALSE;
    (void)block.Release(); // the clipboard owns the block now
    return TRUE;
}
