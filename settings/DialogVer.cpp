#include "settings/DialogVer.h"

#include "res/resource.h"

DialogVer::DialogVer() noexcept : CDialog(IDD_DIALOG_VER) {}
