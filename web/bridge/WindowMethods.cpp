// Script methods that act on windows, processes and the clipboard.
#include "web/HtmlCtrl.h"

void CHtmlCtrl::MoveWindow() noexcept {}

long CHtmlCtrl::GetMainWindow() noexcept { return 0; }

long CHtmlCtrl::SendMessage(long, long, long, long) noexcept { return 0; }

long CHtmlCtrl::GetParentWindow() noexcept { return 0; }

long CHtmlCtrl::ShowWindow(long, long) noexcept { return 0; }

void CHtmlCtrl::MaxOrNormalWindow() noexcept {}

long CHtmlCtrl::RunExe(const wchar_t*) noexcept { return 0; }

long CHtmlCtrl::UpdateBegin() noexcept { return 0; }

long CHtmlCtrl::Find() noexcept { return 0; }

long CHtmlCtrl::CopyStr(const wchar_t*) noexcept { return 0; }
