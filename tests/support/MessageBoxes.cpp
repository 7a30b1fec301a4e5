#include "tests/support/MessageBoxes.h"

#include "tests/support/WindowText.h"

#include <tlhelp32.h>

#include <algorithm>

namespace test {
namespace {

constexpr DWORD kPollMs = 10;

} // namespace

MessageBoxCloser::MessageBoxCloser(std::wstring caption, std::wstring ownerTitle, DWORD timeoutMs)
    : m_caption(std::move(caption)), m_ownerTitle(std::move(ownerTitle)), m_timeoutMs(timeoutMs),
      m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    m_thread.Reset(::CreateThread(nullptr, 0, &Watch, this, 0, nullptr));
}

MessageBoxCloser::~MessageBoxCloser() { (void)Finish(); }

std::vector<std::wstring> MessageBoxCloser::Finish()
{
    if (m_thread) {
        ::SetEvent(m_stop.Get());
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Reset();
    }
    return m_texts;
}

bool MessageBoxCloser::IsOwnChildProcessWindow(HWND window)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == process)
            return entry.th32ParentProcessID == ::GetCurrentProcessId();
    }
    return false;
}

DWORD WINAPI MessageBoxCloser::Watch(void* self) noexcept
{
    auto* closer = static_cast<MessageBoxCloser*>(self);
    const ULONGLONG deadline = ::GetTickCount64() + closer->m_timeoutMs;
    while (::GetTickCount64() < deadline &&
           ::WaitForSingleObject(closer->m_stop.Get(), kPollMs) == WAIT_TIMEOUT) {
        try {
            closer->CloseBoxesNow();
        } catch (...) {
            return 1;
        }
    }
    return 0;
}

void MessageBoxCloser::CloseBoxesNow()
{
    HWND box = nullptr;
    while ((box = ::FindWindowExW(nullptr, box, L"#32770", m_caption.c_str())) != nullptr) {
        if (std::find(m_seen.begin(), m_seen.end(), box) != m_seen.end())
            continue;
        HWND owner = ::GetWindow(box, GW_OWNER);
        // Boxes of other programs that share the caption are not ours to close, and neither are
        // those of programs that another test (running at the same time) started.
        if (!owner || WindowText(owner) != m_ownerTitle || !IsOwnChildProcessWindow(box))
            continue;
        const std::wstring message = MessageBoxText(box);
        // The text control may still be on its way.
        if (message.empty())
            continue;
        m_seen.push_back(box);
        m_texts.push_back(message);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

} // namespace test
