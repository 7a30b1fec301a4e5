// Script methods that answer the page about the tool itself.
#include "base/Bstr.h"
#include "web/HtmlCtrl.h"

namespace {

constexpr long kBridgeVersion = 1;

} // namespace

long CHtmlCtrl::GetVersion() noexcept { return kBridgeVersion; }

void CHtmlCtrl::ShowPageWindow() noexcept {}

BSTR CHtmlCtrl::GetAppPath() noexcept { return Bstr(m_places.AppDirectory()).Detach(); }

// The tool keeps no questions, so no search text matches any: the page gets an empty string.
BSTR CHtmlCtrl::GetQuestion(const wchar_t*) noexcept { return Bstr(L"").Detach(); }
