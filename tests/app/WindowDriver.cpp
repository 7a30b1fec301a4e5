#include "tests/app/WindowDriver.h"

#include "tests/support/WindowText.h"

#include <algorithm>

namespace test {
namespace {

constexpr DWORD kPollMs = 10;
constexpr DWORD kMenuWaitMs = 10000;
constexpr UINT kGetMenuHandle = 0x01E1; // MN_GETHMENU

struct FindRequest {
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK FindOwn(HWND window, LPARAM parameter)
{
    auto* request = reinterpret_cast<FindRequest*>(parameter);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(window))
        return TRUE;
    wchar_t text[256] = {};
    ::GetClassNameW(window, text, 256);
    if (std::wstring(text) != request->className)
        return TRUE;
    if (request->caption) {
        // Read without a message to the window's thread, which may be busy in a modal loop.
        ::InternalGetWindowText(window, text, 256);
        if (std::wstring(text) != request->caption)
            return TRUE;
    }
    request->found = window;
    return FALSE;
}

} // namespace

HWND FindOwnWindow(const wchar_t* className, const wchar_t* caption)
{
    FindRequest request{className, caption, nullptr};
    ::EnumWindows(&FindOwn, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

GdiplusSession::GdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;
    (void)Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
}

GdiplusSession::~GdiplusSession() { Gdiplus::GdiplusShutdown(m_token); }

OleSession::OleSession() : m_bInitialized(SUCCEEDED(::OleInitialize(nullptr))) {}

OleSession::~OleSession()
{
    if (m_bInitialized)
        ::OleUninitialize();
}

BoxAnswerer::BoxAnswerer(std::map<std::wstring, int> answers, std::function<void()> beforeAnswer)
    : m_answers(std::move(answers)), m_beforeAnswer(std::move(beforeAnswer)),
      m_thread([this] { Watch(); })
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

void BoxAnswerer::Watch() noexcept
{
    while (!m_stop) {
        for (const auto& [caption, answer] : m_answers) {
            HWND box = FindOwnWindow(L"#32770", caption.c_str());
            if (!box)
                continue;
            std::lock_guard<std::mutex> guard(m_lock);
            if (std::find(m_answered.begin(), m_answered.end(), box) != m_answered.end())
                continue;
            m_answered.push_back(box);
            m_seen.push_back({caption, MessageBoxText(box), ::GetWindow(box, GW_OWNER)});
            if (m_beforeAnswer)
                m_beforeAnswer();
            ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        }
        ::Sleep(kPollMs);
    }
}

MenuPicker::MenuPicker(int choice, HWND watchedWindow)
    : m_choice(choice), m_watched(watchedWindow), m_thread([this] { Watch(); })
{
}

MenuPicker::~MenuPicker()
{
    if (m_thread.joinable())
        m_thread.join();
}

SeenMenu MenuPicker::Result()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_seen;
}

void MenuPicker::Watch() noexcept
{
    const ULONGLONG deadline = ::GetTickCount64() + kMenuWaitMs;
    HWND menuWindow = nullptr;
    while (!(menuWindow = FindOwnWindow(L"#32768", nullptr))) {
        if (::GetTickCount64() >= deadline) {
            m_bDone = true;
            return;
        }
        ::Sleep(kPollMs);
    }
    m_seen.shown = true;
    m_seen.watchedVisible = m_watched && ::IsWindowVisible(m_watched);
    ::GetWindowRect(menuWindow, &m_seen.rect);
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, kGetMenuHandle, 0, 0));
    const int count = menu ? ::GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        m_seen.items.emplace_back(text);
    }
    // The menu's own loop reads the keyboard of its thread: down to the item, then Enter.
    if (m_choice < 0) {
        ::PostMessageW(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        for (int i = 0; i <= m_choice; ++i)
            ::PostMessageW(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        ::PostMessageW(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    }
    m_bDone = true;
}

} // namespace test
