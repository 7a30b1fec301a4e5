#pragma once
// Owner of an EXCEPINFO handed to IDispatch::Invoke: the three strings a failed call may fill
// are freed with it.
#include "base/Win.h"

#include <oleauto.h>

class ExceptionInfo {
public:
    ExceptionInfo() noexcept = default;
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo()
    {
        ::SysFreeString(m_info.bstrSource);
        ::SysFreeString(m_info.bstrDescription);
        ::SysFreeString(m_info.bstrHelpFile);
    }

    [[nodiscard]] EXCEPINFO* Get() noexcept { return &m_info; }
    [[nodiscard]] const EXCEPINFO* operator->() const noexcept { return &m_info; }

private:
    EXCEPINFO m_info{};
};
