#include "settings/DialogSet.h"

#include "res/resource.h"

DialogSet::DialogSet() noexcept : CDialog(IDD_DIALOG_SET) {}

std::wstring ChooseGameDirectory() noexcept { return {}; }
