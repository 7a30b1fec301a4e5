#include "tests/support/WindowDriver.h"

#include "base/Unique.h"

#include <tlhelp32.h>

#include <algorithm>

namespace test {
namespace {

constexpr DWORD kPollMs = 10;

std::wstring StoredWindowText(HWND window) // read without a message to the window's thread
{
    wchar_t text[1024] = {};
    ::InternalGetWindowText(window, text, 1024);
    return text;
}

bool BelongsTo(HWND window, Whose whose)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    const DWORD self = ::GetCurrentProcessId();
    if (whose == Whose::ThisProcess || process == self)
        return whose == Whose::ThisProcess && process == self;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == process)
            return entry.th32ParentProcessID == self;
    }
    return false;
}

// A message box's message. Wine does not give the text the id 0xFFFF that Windows does, and
// the icon is a static control too, so the longest static text is taken.
std::wstring MessageBoxText(HWND box)
{
    std::wstring longest;
    for (HWND label = nullptr; (label = ::FindWindowExW(box, label, L"Static", nullptr));)
        longest = std::max(longest, StoredWindowText(label),
                           [](auto& a, auto& b) { return a.size() < b.size(); });
    return longest;
}

std::vector<int> VisibleButtons(HWND box)
{
    std::vector<int> ids;
    for (HWND button = nullptr; (button = ::FindWindowExW(box, button, L"Button", nullptr));)
        if (::IsWindowVisible(button))
            ids.push_back(::GetDlgCtrlID(button));
    return ids;
}

} // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::vector<HWND> TopWindows(Whose whose, const wchar_t* className, const wchar_t* caption)
{
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, className, caption));)
        if (::IsWindowVisible(window) && BelongsTo(window, whose))
            found.push_back(window);
    return found;
}

BoxAnswerer::BoxAnswerer(std::vector<BoxAnswer> answers, Whose whose,
                         std::function<void()> beforeAnswer)
    : m_answers(std::move(answers)), m_whose(whose), m_beforeAnswer(std::move(beforeAnswer)),
      m_thread([this] {
          // Windows of other threads appear without an event to wait on.
          for (; !m_stop; ::Sleep(kPollMs))
              AnswerBoxesNow();
      })
{
}

BoxAnswerer::~BoxAnswerer()
{
    m_stop = true;
    m_thread.join();
}

std::vector<SeenBox> BoxAnswerer::Seen() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_seen;
}

std::vector<std::wstring> BoxAnswerer::Texts() const
{
    std::vector<std::wstring> texts;
    for (const SeenBox& box : Seen())
        texts.push_back(box.text);
    return texts;
}

void BoxAnswerer::AnswerBoxesNow()
{
    for (const BoxAnswer& answer : m_answers) {
        for (HWND box : TopWindows(m_whose, L"#32770", answer.caption.c_str())) {
            HWND owner = ::GetWindow(box, GW_OWNER);
            const std::wstring ownerTitle = owner ? StoredWindowText(owner) : L"none";
            std::lock_guard<std::mutex> guard(m_lock);
            if (std::find(m_answered.begin(), m_answered.end(), box) != m_answered.end() ||
                (!answer.ownerTitle.empty() && ownerTitle != answer.ownerTitle))
                continue;
            m_answered.push_back(box);
            m_seen.push_back({MessageBoxText(box), owner, ownerTitle, VisibleButtons(box)});
            if (m_beforeAnswer)
                m_beforeAnswer();
            ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer.command), 0);
        }
    }
}

MenuPicker::MenuPicker(int choice, HWND watchedWindow)
    : m_thread([this, choice, watchedWindow] {
          std::vector<HWND> menus;
          if (WaitUntil(
                  [&] { return !(menus = TopWindows(Whose::ThisProcess, L"#32768")).empty(); },
                  10000)) {
              HWND menuWindow = menus[0];
              m_seen.watchedVisible = watchedWindow && ::IsWindowVisible(watchedWindow);
              ::GetWindowRect(menuWindow, &m_seen.rect);
              constexpr UINT kGetMenuHandle = 0x01E1; // MN_GETHMENU
              auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, kGetMenuHandle, 0, 0));
              for (int i = 0; menu && i < ::GetMenuItemCount(menu); ++i) {
                  wchar_t text[128] = {};
                  ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
                  m_seen.items.emplace_back(text);
              }
              // The menu's own loop reads the keyboard of its thread: down to the item, then Enter.
              for (int i = 0; i <= choice; ++i)
                  ::PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
              ::PostMessageW(menuWindow, WM_KEYDOWN, choice < 0 ? VK_ESCAPE : VK_RETURN, 0);
          }
          m_bDone = true;
      })
{
}

SeenMenu MenuPicker::Result()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_seen;
}

} // namespace test
