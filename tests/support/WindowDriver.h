#pragma once
// Windows driven the way a user would: found, read, and their message boxes and popup menus
// answered from a thread of the test's own while the window's thread waits in the box's or menu's
// loop. Only windows of this test are touched: those of its own process or of the programs it
// started, never those of another test program running beside it.
#include "base/ComApartment.h"
#include "base/GdiPlus.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

// The test's thread prepared as QUIB's start-up prepares its UI thread: the common controls, GDI+
// (the skin's pictures) and OLE (the browser control, the shell's folder browser, the clipboard).
// Derived fixtures that override SetUp call this one first.
class UiTest : public ::testing::Test {
protected:
    UiTest()
    {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    void SetUp() override { ASSERT_TRUE(m_ole.Ok() && m_gdiplus.Ok()) << "no OLE or GDI+"; }

    GdiplusSession m_gdiplus;
    OleSession m_ole;
};

inline ULONG ReferenceCount(IUnknown* object) { return object->AddRef(), object->Release(); }

// Waits with a limit for what has no event to wait on (a window appearing in another process, a
// file being written), pumping the calling thread's messages meanwhile.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The test program's own windows, or those of the programs it started (its child processes).
enum class Whose { ThisProcess, StartedPrograms };

// The text as the window itself answers it (an edit box's current contents). It sends a
// message: never for a window whose thread may be busy in a modal loop (Wine can hang there).
[[nodiscard]] std::wstring WindowText(HWND window);
// The visible top-level windows with the class, and with the caption when one is given.
[[nodiscard]] std::vector<HWND> TopWindows(Whose whose, const wchar_t* className,
                                           const wchar_t* caption = nullptr);

// A kind of box to answer: its caption, the command that answers it and, when set, the title
// its owner window must carry.
struct BoxAnswer {
    std::wstring caption;
    int command;
    std::wstring ownerTitle = {};
};

// A message box (or dialog) as the user saw it.
struct SeenBox {
    std::wstring text;
    HWND owner;
    std::wstring ownerTitle;
    std::vector<int> buttons; // the ids of its visible buttons
};

// Answers every box of the given kinds, and records what it saw, until it is destroyed.
// `beforeAnswer` runs on the answering thread while the box is still up.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::vector<BoxAnswer> answers, Whose whose = Whose::ThisProcess,
                         std::function<void()> beforeAnswer = {});
    ~BoxAnswerer();

    [[nodiscard]] std::vector<SeenBox> Seen() const;
    // The texts of the boxes seen so far, in order.
    [[nodiscard]] std::vector<std::wstring> Texts() const;

private:
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
    ~MenuPicker() { (void)Result(); }

    // True once the picker has acted on a menu or given up waiting for one.
    [[nodiscard]] bool Done() const noexcept { return m_bDone; }
    // Waits (bounded) for the picker to finish and returns what it saw. It blocks the calling
    // thread: when that thread must show the menu, wait for Done() with messages pumped first.
    [[nodiscard]] SeenMenu Result();

private:
    std::atomic<bool> m_bDone{false};
    SeenMenu m_seen;
    std::thread m_thread;
};

} // namespace test
