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

// Kernel objects (mutexes, events, processes, threads) fail with null...
struct HandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using UniqueHandle = Unique<HandleTraits>;

// ...but CreateFile fails with INVALID_HANDLE_VALUE; a separate type keeps the two apart.
struct FileHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using UniqueFile = Unique<FileHandleTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
using UniqueFindHandle = Unique<FindHandleTraits>;

struct HkeyTraits {
    using Handle = HKEY;
    static HKEY Empty() noexcept { return nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
using UniqueHkey = Unique<HkeyTraits>;

struct IconTraits {
    using Handle = HICON;
    static HICON Empty() noexcept { return nullptr; }
    static void Close(HICON h) noexcept { ::DestroyIcon(h); }
};
using UniqueIcon = Unique<IconTraits>;

struct MenuTraits {
    using Handle = HMENU;
    static HMENU Empty() noexcept { return nullptr; }
    static void Close(HMENU h) noexcept { ::DestroyMenu(h); }
};
using UniqueMenu = Unique<MenuTraits>;

struct GdiObjTraits {
    using Handle = HGDIOBJ;
    static HGDIOBJ Empty() noexcept { return nullptr; }
    static void Close(HGDIOBJ h) noexcept { ::DeleteObject(h); }
};
using UniqueGdiObj = Unique<GdiObjTraits>;

struct GlobalTraits {
    using Handle = HGLOBAL;
    static HGLOBAL Empty() noexcept { return nullptr; }
    static void Close(HGLOBAL h) noexcept { ::GlobalFree(h); }
};
using UniqueGlobal = Unique<GlobalTraits>;

struct WindowTraits {
    using Handle = HWND;
    static HWND Empty() noexcept { return nullptr; }
    static void Close(HWND h) noexcept { ::DestroyWindow(h); }
};
using UniqueWindow = Unique<WindowTraits>;
