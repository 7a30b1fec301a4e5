#include "tests/support/UiSession.h"

#include <commctrl.h>

namespace test {

UiSession::UiSession() noexcept
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
}

} // namespace test
