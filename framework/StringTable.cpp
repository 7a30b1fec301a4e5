#include "framework/StringTable.h"

namespace framework {

std::wstring LoadText(UINT id) noexcept
{
    try {
        // A capacity of 0 asks for the entry itself, read-only inside the loaded image.
        const wchar_t* text = nullptr;
        const int length =
            ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
        return length > 0 && text ? std::wstring(text, static_cast<size_t>(length))
                                  : std::wstring();
    } catch (...) {
        return {};
    }
}

} // namespace framework
