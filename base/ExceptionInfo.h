#pragma once
// Owner of the EXCEPINFO handed to IDispatch::Invoke: a zeroed record whose three strings, which a
// failed call may fill, are freed with it. Passed as &info, read as info.scode.
#include "base/Win.h"

#include <oleauto.h>

struct ExceptionInfo : EXCEPINFO {
    ExceptionInfo() noexcept : EXCEPINFO{} {}
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo()
    {
        ::SysFreeString(bstrSource);
        ::SysFreeString(bstrDescription);
        ::SysFreeString(bstrHelpFile);
    }
};
