#pragma once
// A global that is made at start-up and never destroyed: for state that threads still running at
// exit point into, or whose destruction would call into what has already gone (COM). Its memory
// goes back with the process.
#include <new>

template <class T> class NeverDestroyed {
public:
    NeverDestroyed() noexcept { ::new (static_cast<void*>(m_storage)) T(); }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& Get() noexcept { return *std::launder(reinterpret_cast<T*>(m_storage)); }

private:
    alignas(T) unsigned char m_storage[sizeof(T)];
};
