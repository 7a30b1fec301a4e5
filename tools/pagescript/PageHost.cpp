#include "tools/pagescript/PageHost.h"

#include "tools/pagescript/resource.h"

namespace pagescript {

PageHost::PageHost() noexcept : CDialog(IDD_PAGESCRIPT_HOST) {}

PageHost::~PageHost()
{
    // The control's window goes with the dialog's; only then may its object go.
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

bool PageHost::Create(const paths::Places& places) noexcept
{
    if (!CreateModeless(nullptr))
        return false;
    m_pControl = CHtmlCtrl::Make(places);
    return m_pControl && m_pControl->CreateOverPlaceholder(IDC_PAGESCRIPT_PLACEHOLDER, this);
}

} // namespace pagescript
