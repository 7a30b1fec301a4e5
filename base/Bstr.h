#pragma once
// Owner of a BSTR: freed with SysFreeString unless handed over with Detach().
#include "base/Win.h"

#include <oleauto.h>
#include <string_view>
#include <utility>

class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text) noexcept
        : m_str(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    Bstr(Bstr&& other) noexcept : m_str(other.Detach()) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        Reset(other.Detach());
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { Reset(); }

    [[nodiscard]] BSTR Get() const noexcept { return m_str; }
    [[nodiscard]] BSTR Detach() noexcept { return std::exchange(m_str, nullptr); }
    BSTR* Put() noexcept
    {
        Reset();
        return &m_str;
    }
    void Reset(BSTR str = nullptr) noexcept
    {
        if (m_str)
            ::SysFreeString(m_str);
        m_str = str;
    }
    [[nodiscard]] std::wstring_view View() const noexcept
    {
        return m_str ? std::wstring_view(m_str, ::SysStringLen(m_str)) : std::wstring_view();
    }
    explicit operator bool() const noexcept { return m_str != nullptr; }

private:
    BSTR m_str = nullptr;
};
