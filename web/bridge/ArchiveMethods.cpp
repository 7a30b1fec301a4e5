// Script method that unpacks a zip archive into a folder.
#include "web/HtmlCtrl.h"

long CHtmlCtrl::UnzipFile(const wchar_t*, const wchar_t*) noexcept { return 0; }
