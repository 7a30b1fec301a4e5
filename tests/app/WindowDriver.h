#pragma once
// Driving QUIB's windows from a test the way a user would: GDI+ for the skin, message boxes
// and popup menus answered from a thread of the test's own while the window's thread waits in
// the box's or menu's loop.
#include "base/GdiPlus.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

// GDI+ for one test: the skin's pictures are GDI+ bitmaps.
class GdiplusSession {
public:
    GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession();

private:
    ULONG_PTR m_token = 0;
};

// OLE on the test's thread, as the program's start-up prepares it for the page control and the
// shell's folder browser.
class OleSession {
public:
    OleSession();
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession();

private:
    bool m_bInitialized = false;
};

// A message box as the user saw it.
struct SeenBox {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
};

// Answers every message box (or dialog) of this process whose caption is in the map with the
// command given for it, and records what it saw, until it is destroyed. `beforeAnswer` runs on
// the answering thread while the box is still up.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::map<std::wstring, int> answers,
                         std::function<void()> beforeAnswer = {});
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    ~BoxAnswerer();

    [[nodiscard]] std::vector<SeenBox> Seen() const;

private:
    void Watch() noexcept;

    std::map<std::wstring, int> m_answers;
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

// The first visible top-level window of this process with the class and caption, or null.
[[nodiscard]] HWND FindOwnWindow(const wchar_t* className, const wchar_t* caption);

} // namespace test
