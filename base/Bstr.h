#pragma once
// Owner of a BSTR: freed with SysFreeString unless handed over with Detach().
#include "base/Unique.h"

#include <oleauto.h>
#include <string_view>

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) noexcept
        : m_str(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }

    [[nodiscard]] BSTR Get() const noexcept { return m_str.Get(); }
    [[nodiscard]] BSTR Detach() noexcept { return m_str.Release(); }
    BSTR* Put() noexcept { return m_str.Put(); }
    void Reset(BSTR str = nullptr) noexcept { m_str.Reset(str); }
    [[nodiscard]] std::wstring_view View() const noexcept
    {
        const BSTR str = m_str.Get();
        return str ? std::wstring_view(str, ::SysStringLen(str)) : std::wstring_view();
    }
    explicit operator bool() const noexcept { return static_cast<bool>(m_str); }

private:
    Unique<NullIsEmpty<BSTR, &::SysFreeString>> m_str;
};
