#pragma once
// Owner of a VARIANT: cleared with VariantClear when it goes.
#include "base/Win.h"

#include <oleauto.h>

class Variant {
public:
    Variant() noexcept { ::VariantInit(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&m_v); }

    [[nodiscard]] VARIANT* Get() noexcept { return &m_v; }
    [[nodiscard]] const VARIANT* Get() const noexcept { return &m_v; }
    VARIANT* Put() noexcept
    {
        ::VariantClear(&m_v);
        return &m_v;
    }
    VARIANT* operator->() noexcept { return &m_v; }
    const VARIANT* operator->() const noexcept { return &m_v; }

private:
    VARIANT m_v;
};
