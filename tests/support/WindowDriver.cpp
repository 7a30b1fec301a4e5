#include "tests/support/WindowDriver.h"

#include "base/Unique.h"

#include <tlhelp32.h>

#include <algorithm>

namespace test {
namespace {

constexpr DWORD kPollMs = 10;
constexpr DWORD kMenuWaitMs = 10000;
constexpr UINT kGetMenuHandle = 0x01E1; // MN_GETHMENU

// The process that started the given one; 0 when it cannot be told.
DWORD ParentOf(DWORD process)
{
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == process)
            return entry.th32ParentProcessID;
    }
    return 0;
}

bool BelongsTo(HWND window, Whose whose)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    const DWORD self = ::GetCurrentProcessId();
    return whose == Whose::ThisProcess ? process == self
                                       : process != self && ParentOf(process) == self;
}

struct TopWindowSearch {
    Whose whose;
    const wchar_t* className;
    const wchar_t* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<TopWindowSearch*>(parameter);
    // The cheap checks first: the process check walks the process list.
    if (::IsWindowVisible(window) && ClassName(window) == search->className &&
        (!search->caption || StoredWindowText(window) == search->caption) &&
        BelongsTo(window, search->whose))
        search->found.push_back(window);
    return TRUE;
}

bool ShowsIcon(HWND box)
{
    for (HWND label : Children(box, L"Static"))
        if ((::GetWindowLongPtrW(label, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return true;
    return false;
}

std::vector<int> VisibleButtons(HWND box)
{
    std::vector<int> ids;
    for (HWND button : Children(box, L"Button"))
        if (::IsWindowVisible(button))
            ids.push_back(::GetDlgCtrlID(button));
    return ids;
}

} // namespace

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring StoredWindowText(HWND window)
{
    wchar_t text[1024] = {};
    ::InternalGetWindowText(window, text, 1024);
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::wstring MessageBoxText(HWND box)
{
    std::wstring longest;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM found) -> BOOL {
            if (::lstrcmpiW(ClassName(child).c_str(), L"Static") != 0)
                return TRUE;
            std::wstring text = StoredWindowText(child);
            auto* result = reinterpret_cast<std::wstring*>(found);
            if (text.size() > result->size())
                *result = std::move(text);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&longest));
    return longest;
}

std::vector<HWND> TopWindows(Whose whose, const wchar_t* className, const wchar_t* caption)
{
    TopWindowSearch search{whose, className, caption, {}};
    ::EnumWindows(&CollectTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopWindow(Whose whose, const wchar_t* className, const wchar_t* caption)
{
    const std::vector<HWND> found = TopWindows(whose, className, caption);
    return found.empty() ? nullptr : found.front();
}

std::vector<HWND> Children(HWND parent, const wchar_t* className)
{
    std::vector<HWND> found;
    for (HWND child = ::FindWindowExW(parent, nullptr, className, nullptr); child;
         child = ::FindWindowExW(parent, child, className, nullptr))
        found.push_back(child);
    return found;
}

void PostClick(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

BoxAnswerer::BoxAnswerer(std::vector<BoxAnswer> answers, Whose whose,
                         std::function<void()> beforeAnswer)
    : m_answers(std::move(answers)), m_whose(whose), m_beforeAnswer(std::move(beforeAnswer)),
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

std::vector<std::wstring> BoxAnswerer::Texts() const
{
    std::vector<std::wstring> texts;
    for (const SeenBox& box : Seen())
        texts.push_back(box.text);
    return texts;
}

void BoxAnswerer::Watch() noexcept
{
    while (!m_stop) {
        try {
            AnswerBoxesNow();
        } catch (...) {
            return;
        }
        // Windows of other threads appear without an event to wait on.
        ::Sleep(kPollMs);
    }
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
            m_seen.push_back({answer.caption, MessageBoxText(box), owner, ownerTitle,
                              ShowsIcon(box), VisibleButtons(box)});
            if (m_beforeAnswer)
                m_beforeAnswer();
            ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer.command), 0);
        }
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
    while (!(menuWindow = FindTopWindow(Whose::ThisProcess, L"#32768"))) {
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
