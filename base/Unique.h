#pragma once
// One owner template for every kind of handle, with a small traits struct per kind.
#include "base/Win.h"

#include <utility>

template <class Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;
    Unique() noexcept = default;
    explicit Unique(Handle h) noexcept : m_h(h) {}
    Unique(Unique&& other) noexcept : m_h(other.Release()) {}
    Unique& operator=(Unique&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    [[nodiscard]] Handle Get() const noexcept { return m_h; }
    [[nodiscard]] Handle Release() noexcept { return std::exchange(m_h, Traits::Empty()); }
    Handle* Put() noexcept
    {
        Reset();
        return &m_h;
    }
    void Reset(Handle h = Traits::Empty()) noexcept
    {
        if (m_h != Traits::Empty())
            Traits::Close(m_h);
        m_h = h;
    }
    explicit operator bool() const noexcept { return m_h != Traits::Empty(); }

private:
    Handle m_h = Traits::Empty();
};

// The traits of most kinds in one line: empty when null, closed by one function.
template <class H, auto CloseFunction>
struct NullIsEmpty {
    using Handle = H;
    static H Empty() noexcept { return nullptr; }
    static void Close(H h) noexcept { (void)CloseFunction(h); }
};

// CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE, every other kernel call with
// null: a separate kind keeps the two HANDLE owners from being mixed up.
template <auto CloseFunction>
struct InvalidIsEmpty {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { (void)CloseFunction(h); }
};

// Mutexes, events, processes, threads.
using UniqueHandle = Unique<NullIsEmpty<HANDLE, &::CloseHandle>>;
using UniqueFile = Unique<InvalidIsEmpty<&::CloseHandle>>;
using UniqueFindHandle = Unique<InvalidIsEmpty<&::FindClose>>;
using UniqueHkey = Unique<NullIsEmpty<HKEY, &::RegCloseKey>>;
using UniqueIcon = Unique<NullIsEmpty<HICON, &::DestroyIcon>>;
using UniqueMenu = Unique<NullIsEmpty<HMENU, &::DestroyMenu>>;
using UniqueGdiObj = Unique<NullIsEmpty<HGDIOBJ, &::DeleteObject>>;
using UniqueGlobal = Unique<NullIsEmpty<HGLOBAL, &::GlobalFree>>;
using UniqueWindow = Unique<NullIsEmpty<HWND, &::DestroyWindow>>;
