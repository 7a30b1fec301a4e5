#include "framework/MessageBox.h"

namespace framework {
namespace {

// Set once by a host before its first box and read on the UI thread only.
MessageBoxHandler g_messageBoxHandler = nullptr;

} // namespace

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) noexcept
{
    if (g_messageBoxHandler)
        return g_messageBoxHandler(owner, text ? text : L"", caption, type);
    return ::MessageBoxW(owner, text ? text : L"", caption, type);
}

void SetMessageBoxHandler(MessageBoxHandler handler) noexcept { g_messageBoxHandler = handler; }

} // namespace framework
