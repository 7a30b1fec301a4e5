#pragma once
// Plays the user in front of message boxes that another process shows: a thread of its own
// finds each box (class #32770) with the given caption whose owner carries the given title and
// belongs to a program this test started, reads its text and presses OK.
#include "base/Unique.h"

#include <string>
#include <vector>

namespace test {

class MessageBoxCloser {
public:
    // Starts watching; gives up after timeoutMs.
    MessageBoxCloser(std::wstring caption, std::wstring ownerTitle, DWORD timeoutMs);
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;
    ~MessageBoxCloser();

    // Stops watching and returns the texts of the boxes that were closed, in order.
    [[nodiscard]] std::vector<std::wstring> Finish();

private:
    static DWORD WINAPI Watch(void* self) noexcept;
    void CloseBoxesNow();
    // True for a window of a process that this test program started.
    static bool IsOwnChildProcessWindow(HWND window);

    std::wstring m_caption;
    std::wstring m_ownerTitle;
    DWORD m_timeoutMs;
    std::vector<HWND> m_seen;
    std::vector<std::wstring> m_texts;
    UniqueHandle m_stop;
    UniqueHandle m_thread;
};

} // namespace test
