#pragma once
// Message routing declared as plain data inside each class, scanned top to bottom:
//
//   class CQUIBDlg : public framework::WithMessageMap<CQUIBDlg, framework::CDialog> { ...
//       friend WithMessageMap;
//       static const framework::MessageMap<CQUIBDlg> s_messageMap;
//   };
//   const framework::MessageMap<CQUIBDlg> CQUIBDlg::s_messageMap = {
//       {WM_PAINT,   0,           &CQUIBDlg::OnPaint},    // LRESULT (WPARAM, LPARAM)
//       {WM_COMMAND, IDC_BTN_MIN, &CQUIBDlg::OnMinimize}, // void (), on a click or menu command
//   };
//
// WithMessageMap routes each message through the class's map first; what no entry matches goes
// to the base class's routing (its own map, if it has one) and finally to the default procedure.
#include "base/Win.h"

#include <initializer_list>

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

// A class's routes. A list rather than an array of unknown bound: WithMessageMap walks it
// wherever the class is used, not only in the .cpp file that defines the table.
template <class T>
using MessageMap = std::initializer_list<MessageEntry<T>>;

// Offers the message to each entry in turn; true when one took it, with its answer in result.
template <class T, class Entries>
[[nodiscard]] bool RouteMessage(T& target, const Entries& map, UINT message, WPARAM wParam,
                                LPARAM lParam, LRESULT& result) noexcept
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

// Base with the routing of Derived's s_messageMap put in front of its own. Derived lets it read
// the map (friend WithMessageMap) and is constructed like Base.
template <class Derived, class Base>
class WithMessageMap : public Base {
public:
    using Base::Base;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        return RouteMessage(static_cast<Derived&>(*this), Derived::s_messageMap, message, wParam,
                            lParam, result) ||
               Base::OnWndMsg(message, wParam, lParam, result);
    }
};

} // namespace framework
