#include "tools/pagescript/ScriptTimers.h"

#include "base/ExceptionInfo.h"
#include "base/Variant.h"

#include <utility>

namespace pagescript {
namespace {

// Thread timers carry no pointer of their own; pagescript runs one script, so one set of timers.
ScriptTimers* g_timers = nullptr;

} // namespace

ScriptTimers::ScriptTimers() noexcept { g_timers = this; }

ScriptTimers::~ScriptTimers()
{
    ClearAll();
    if (g_timers == this)
        g_timers = nullptr;
}

UINT_PTR ScriptTimers::Set(IDispatch* function, UINT delayMs) noexcept
{
    if (!function)
        return 0;
    const UINT_PTR id = ::SetTimer(nullptr, 0, delayMs, &OnTimer);
    if (!id)
        return 0;
    try {
        m_pending[id] = function;
    } catch (...) {
        ::KillTimer(nullptr, id);
        return 0;
    }
    return id;
}

void ScriptTimers::Clear(UINT_PTR id) noexcept
{
    const auto found = m_pending.find(id);
    if (found == m_pending.end())
        return;
    ::KillTimer(nullptr, id);
    m_pending.erase(found);
}

void ScriptTimers::ClearAll() noexcept
{
    while (!m_pending.empty())
        Clear(m_pending.begin()->first);
}

void CALLBACK ScriptTimers::OnTimer(HWND, UINT, UINT_PTR id, DWORD) noexcept
{
    if (g_timers)
        g_timers->Fire(id);
}

void ScriptTimers::Fire(UINT_PTR id) noexcept
{
    const auto found = m_pending.find(id);
    if (found == m_pending.end()) {
        ::KillTimer(nullptr, id);
        return;
    }
    // One shot: forget the timer before the call, which may set new timers or clear this one.
    const Microsoft::WRL::ComPtr<IDispatch> function = std::move(found->second);
    ::KillTimer(nullptr, id);
    m_pending.erase(found);

    DISPPARAMS none{};
    Variant result;
    ExceptionInfo exception;
    // As in a browser, a failing callback ends only itself: the engine has reported the error,
    // with its line, through the script site, and the page goes on.
    (void)function->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                           result.Get(), &exception, nullptr);
}

} // namespace pagescript
