#include "tests/support/WindowText.h"

namespace test {

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

} // namespace test
