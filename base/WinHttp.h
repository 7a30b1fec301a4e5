#pragma once
// WinHTTP's handles (sessions, connections, requests) all close with WinHttpCloseHandle.
#include "base/Unique.h"

#include <winhttp.h>

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static HINTERNET Empty() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = Unique<InternetHandleTraits>;
