#pragma once
// Apartment owners for code that starts COM or OLE and ends it in the same scope: the
// application, pagescript and the tests. Each undoes exactly what it started, so a thread that
// was already initialised (S_FALSE still counts) stays balanced. Threads that are joined to an
// apartment for good, and never leave it, do not use these.
#include "base/Win.h"

#include <objbase.h>
#include <ole2.h>

// OLE on this thread: a single-threaded apartment plus the clipboard, drag and drop and the
// in-place activation that hosting the browser control and the folder browser need.
class OleSession {
public:
    OleSession() noexcept : m_hr(::OleInitialize(nullptr)) {}
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession()
    {
        if (SUCCEEDED(m_hr))
            ::OleUninitialize();
    }
    [[nodiscard]] bool Ok() const noexcept { return SUCCEEDED(m_hr); }
    [[nodiscard]] HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};

// A COM apartment on this thread, single-threaded unless told otherwise.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : m_hr(::CoInitializeEx(nullptr, model))
    {
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    [[nodiscard]] bool Ok() const noexcept { return SUCCEEDED(m_hr); }
    [[nodiscard]] HRESULT Result() const noexcept { return m_hr; }

private:
    HRESULT m_hr;
};
