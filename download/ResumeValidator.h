#pragma once
// The version of a file that a resume continues, as its server named it: a strong ETag, else a
// Last-Modified date. Kept with the task for the life of the process and sent back as If-Range.
// A fixed buffer, no allocation: WinHTTP's worker threads make and copy it.
#include <cstddef>
#include <string_view>

namespace download {

class ResumeValidator {
public:
    enum class Kind { None, ETag, LastModified };
    // Room for any header text that download::ResponseHeader reads, with its NUL.
    static constexpr size_t kCapacity = 128;

    ResumeValidator() noexcept = default;
    // None when the text is empty or does not fit.
    ResumeValidator(Kind kind, std::wstring_view text) noexcept
    {
        if (kind == Kind::None || text.empty() || text.size() >= kCapacity)
            return;
        m_kind = kind;
        m_length = text.copy(m_text, text.size());
        m_text[m_length] = L'\0';
    }

    [[nodiscard]] Kind GetKind() const noexcept { return m_kind; }
    // NUL-terminated.
    [[nodiscard]] const wchar_t* Text() const noexcept { return m_text; }
    [[nodiscard]] std::wstring_view View() const noexcept { return {m_text, m_length}; }

private:
    Kind m_kind = Kind::None;
    size_t m_length = 0;
    wchar_t m_text[kCapacity] = {};
};

} // namespace download
