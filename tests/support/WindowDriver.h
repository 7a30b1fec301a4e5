#pragma once
// Driving windows from a test the way a user would: finding them, reading their texts, pressing
// their buttons, and answering message boxes and popup menus from a thread of the test's own
// while the window's thread waits in the box's or menu's loop. Only windows of this test are
// touched: those of its own process or of the programs it started, never those of another test
// program running beside it.
#include "base/Win.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

enum class Whose {
    ThisProcess,     // the test program's own windows
    StartedPrograms, // windows of the programs it started itself (its child processes)
};

// The text as the window itself answers it (an edit box's current contents). It sends a
// message: never for a window whose thread may be busy in a modal loop (Wine can hang there).
[[nodiscard]] std::wstring WindowText(HWND window);
// The text the system keeps for the window (a caption, a static's text), read without a message
// to the window's thread.
[[nodiscard]] std::wstring StoredWindowText(HWND window);
[[nodiscard]] std::wstring ClassName(HWND window);
// A message box's message. Wine does not give the text the id 0xFFFF that Windows does, and
// the icon is a static control too, so the longest static text is taken.
[[nodiscard]] std::wstring MessageBoxText(HWND box);

// The visible top-level windows with the class, and with the caption when one is given.
[[nodiscard]] std::vector<HWND> TopWindows(Whose whose, const wchar_t* className,
                                           const wchar_t* caption = nullptr);
// The first of them, or null.
[[nodiscard]] HWND FindTopWindow(Whose whose, const wchar_t* className,
                                 const wchar_t* caption = nullptr);
// The window's direct children with the class.
[[nodiscard]] std::vector<HWND> Children(HWND parent, const wchar_t* className);
// Presses a dialog's button as the user would; posted, so that whatever loop the press starts
// does not hold the caller.
void PostClick(HWND dialog, int id);

// A kind of box to answer: its caption, the command that answers it and, when set, the title
// its owner window must carry.
struct BoxAnswer {
    BoxAnswer(std::wstring boxCaption, int answer, std::wstring owner = {})
        : caption(std::move(boxCaption)), command(answer), ownerTitle(std::move(owner))
    {
    }
    std::wstring caption;
    int command;
    std::wstring ownerTitle;
};

// A message box (or dialog) as the user saw it.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    std::wstring ownerTitle;
    bool icon = false;        // it shows an icon
    std::vector<int> buttons; // the ids of its visible buttons
};

// Answers every box of the given kinds, and records what it saw, until it is destroyed.
// `beforeAnswer` runs on the answering thread while the box is still up.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::vector<BoxAnswer> answers, Whose whose = Whose::ThisProcess,
                         std::function<void()> beforeAnswer = {});
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    ~BoxAnswerer();

    [[nodiscard]] std::vector<SeenBox> Seen() const;
    // The texts of the boxes seen so far, in order.
    [[nodiscard]] std::vector<std::wstring> Texts() const;

private:
    void Watch() noexcept;
    void AnswerBoxesNow();

    std::vector<BoxAnswer> m_answers;
    Whose m_whose;
    std::function<void()> m_beforeAnswer;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<SeenBox> m_seen;
    std::vector<HWND> m_answered;
    std::thread m_thread;
};

// A popup menu as the user saw it.
struct SeenMenu {
    bool shown = false;
    std::vector<std::wstring> items; // separators are empty
    RECT rect{};
    bool watchedVisible = false; // whether the watched window was visible while it was open
};

// Waits for the next popup menu of this process, records it, then picks the selectable item
// (separators do not count) at `choice` with the keyboard, or closes the menu when choice is
// below zero.
class MenuPicker {
public:
    MenuPicker(int choice, HWND watchedWindow);
    MenuPicker(const MenuPicker&) = delete;
    MenuPicker& operator=(const MenuPicker&) = delete;
    ~MenuPicker();

    // True once the picker has acted on a menu or given up waiting for one.
    [[nodiscard]] bool Done() const noexcept { return m_bDone; }
    // Waits (bounded) for the picker to finish and returns what it saw. It blocks the calling
    // thread: when that thread must show the menu, wait for Done() with messages pumped first.
    [[nodiscard]] SeenMenu Result();

private:
    void Watch() noexcept;

    int m_choice;
    HWND m_watched;
    std::atomic<bool> m_bDone{false};
    SeenMenu m_seen;
    std::thread m_thread;
};

} // namespace test
