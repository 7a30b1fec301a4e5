#pragma once
// WinHTTP's handles (sessions, connections, requests) all close with WinHttpCloseHandle.
#include "base/Unique.h"

#include <winhttp.h>

using InternetHandleTraits = NullIsEmpty<HINTERNET, &::WinHttpCloseHandle>;
using UniqueInternet = Unique<InternetHandleTraits>;
