#pragma once
// setTimeout and clearTimeout as pages have them: each timer is a timer of the UI thread's
// message loop, so progress calls and other messages keep arriving while the script waits.
#include "base/Win.h"

#include <oaidl.h>
#include <wrl/client.h>

#include <map>
#include <string>

namespace pagescript {

class ScriptTimers {
public:
    ScriptTimers() noexcept;
    ScriptTimers(const ScriptTimers&) = delete;
    ScriptTimers& operator=(const ScriptTimers&) = delete;
    ~ScriptTimers();

    // Calls the script function once after the delay; returns the timer's id, 0 on failure.
    [[nodiscard]] UINT_PTR Set(IDispatch* function, UINT delayMs) noexcept;
    void Clear(UINT_PTR id) noexcept;
    void ClearAll() noexcept;

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) noexcept;
    void Fire(UINT_PTR id) noexcept;

    std::map<UINT_PTR, Microsoft::WRL::ComPtr<IDispatch>> m_pending;
};

} // namespace pagescript
