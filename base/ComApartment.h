#pragma once
// Apartment owners for code that starts COM or OLE and ends it in the same scope: the
// application, pagescript and the tests. Each undoes exactly what it started, so a thread that
// was already initialised (S_FALSE still counts) stays balanced. Threads that are joined to an
// apartment for good, and never leave it, do not use these.
#include "base/Win.h"

#include <objbase.h>
#include <ole2.h>

// What both owners share: the result of the start, and its undo when the start succeeded.
template <void(STDAPICALLTYPE* Undo)()>
class ApartmentScope {
public:
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;
    ~ApartmentScope()
    {
        if (SUCCEEDED(m_hr))
            Undo();
    }
    [[nodiscard]] bool Ok() const noexcept { return SUCCEEDED(m_hr); }
    [[nodiscard]] HRESULT Result() const noexcept { return m_hr; }

protected:
    explicit ApartmentScope(HRESULT started) noexcept : m_hr(started) {}

private:
    HRESULT m_hr;
};

// OLE on this thread: a single-threaded apartment plus the clipboard, drag and drop and the
// in-place activation that hosting the browser control and the folder browser need.
class OleSession : public ApartmentScope<&::OleUninitialize> {
public:
    OleSession() noexcept : ApartmentScope(::OleInitialize(nullptr)) {}
};

// A COM apartment on this thread, single-threaded unless told otherwise.
class ComApartment : public ApartmentScope<&::CoUninitialize> {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : ApartmentScope(::CoInitializeEx(nullptr, model))
    {
    }
};
