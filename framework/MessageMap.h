#pragma once
// Message routing declared as plain data inside each class, scanned top to bottom:
//
//   const MessageEntry<CQUIBDlg> CQUIBDlg::s_messageMap[] = {
//       {WM_PAINT,   0,           &CQUIBDlg::OnPaint},        // LRESULT (WPARAM, LPARAM)
//       {WM_COMMAND, IDC_BTN_MIN, &CQUIBDlg::OnMinimize},     // void (), on a click or menu command
//   };
//
// A class overrides OnWndMsg with RouteMessage(*this, s_messageMap, ...) and then asks its base,
// so what no entry matches goes to the base class's map and finally to the default procedure.
// OnWndMsg is defined after the map in the .cpp file, where the map's size is known.
#include "base/Win.h"

#include <cstddef>

namespace framework {

template <class T>
struct MessageEntry {
    using MessageHandler = LRESULT (T::*)(WPARAM, LPARAM);
    using CommandHandler = void (T::*)();

    constexpr MessageEntry(UINT msg, UINT commandId, MessageHandler handler) noexcept
        : message(msg), id(commandId), onMessage(handler)
    {
    }
    constexpr MessageEntry(UINT msg, UINT commandId, CommandHandler handler) noexcept
        : message(msg), id(commandId), onCommand(handler)
    {
    }

    UINT message;
    UINT id; // WM_COMMAND: the command or control id; otherwise 0
    MessageHandler onMessage = nullptr;
    CommandHandler onCommand = nullptr;
};

// A menu command (code 0), an accelerator (1) or a button click (BN_CLICKED, 0) reaches a
// command entry; other control notifications such as EN_CHANGE do not.
[[nodiscard]] inline bool IsCommandCode(WPARAM wParam) noexcept
{
    const UINT code = HIWORD(wParam);
    return code == 0 || code == 1;
}

template <class T, size_t N>
[[nodiscard]] bool RouteMessage(T& target, const MessageEntry<T> (&map)[N], UINT message,
                                WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    for (const MessageEntry<T>& entry : map) {
        if (entry.message != message)
            continue;
        if (message == WM_COMMAND && (entry.id != LOWORD(wParam) || !IsCommandCode(wParam)))
            continue;
        if (entry.onCommand) {
            (target.*entry.onCommand)();
            result = 0;
        } else {
            result = (target.*entry.onMessage)(wParam, lParam);
        }
        return true;
    }
    return false;
}

} // namespace framework
