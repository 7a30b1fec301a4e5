#include "tools/pagescript/Console.h"

#include "base/Text.h"
#include "base/Win.h"

#include <string>

namespace pagescript {
namespace {

void WriteTo(DWORD stream, std::wstring_view text) noexcept
{
    try {
        std::string bytes = text::ToUtf8(text);
        bytes += '\n';
        HANDLE out = ::GetStdHandle(stream);
        DWORD written = 0;
        if (out && out != INVALID_HANDLE_VALUE)
            ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    } catch (...) {
        // Nothing can be reported about failing to report.
    }
}

} // namespace

void WriteLine(std::wstring_view text) noexcept { WriteTo(STD_OUTPUT_HANDLE, text); }

void WriteErrorLine(std::wstring_view text) noexcept { WriteTo(STD_ERROR_HANDLE, text); }

} // namespace pagescript
