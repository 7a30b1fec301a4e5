// Script methods that start and pause downloads and register the page for progress calls.
#include "web/HtmlCtrl.h"

long CHtmlCtrl::DownloadFile(const wchar_t*, const wchar_t*, long, long) noexcept { return 0; }

long CHtmlCtrl::PauseDownload(long, long) noexcept { return 0; }

long CHtmlCtrl::SetCallBack(IDispatch*) noexcept { return 0; }
