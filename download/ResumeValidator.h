#pragma once
// The version of a file that a resume continues, as its server named it: a strong ETag and a
// Last-Modified date, either of which may be missing. Kept in the download's record
// (DownloadRecord) and sent back as If-Range. Fixed buffers, no allocation: WinHTTP's worker
// threads make and copy them.
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

// Both names an answer can give its version by.
struct FileVersion {
    ResumeValidator tag;  // Kind::ETag (strong) or None
    ResumeValidator date; // Kind::LastModified or None

    [[nodiscard]] bool Known() const noexcept
    {
        return tag.GetKind() != ResumeValidator::Kind::None ||
               date.GetKind() != ResumeValidator::Kind::None;
    }
    // What If-Range names: the tag, which names exact bytes, else the date.
    [[nodiscard]] const ResumeValidator& IfRange() const noexcept
    {
        return tag.GetKind() != ResumeValidator::Kind::None ? tag : date;
    }
};

} // namespace download
