#include "tools/pagescript/PageHost.h"

#include "tools/pagescript/Console.h"
#include "tools/pagescript/resource.h"
#include "web/HostMessages.h"

namespace pagescript {

const framework::MessageMap<PageHost> PageHost::s_messageMap = {
    {WM_BROWSE_GAME_DIR, 0, &PageHost::OnBrowseGameDir},
    {WM_UPDATE_FOUND, 0, &PageHost::OnUpdateFound},
    {WM_SYSCOMMAND, 0, &PageHost::OnSysCommand},
};

PageHost::PageHost() noexcept : WithMessageMap(IDD_PAGESCRIPT_HOST) {}

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

void PageHost::HandlePostedRequests() noexcept
{
    MSG msg;
    while (m_hWnd && ::PeekMessageW(&msg, m_hWnd, WM_BROWSE_GAME_DIR, WM_UPDATE_FOUND, PM_REMOVE))
        ::DispatchMessageW(&msg);
}

LRESULT PageHost::OnBrowseGameDir(WPARAM, LPARAM) noexcept
{
    WriteLine(L"HOST Find: the hosting window is asked to choose the game directory");
    return 0;
}

LRESULT PageHost::OnUpdateFound(WPARAM, LPARAM) noexcept
{
    WriteLine(L"HOST UpdateBegin: the hosting window is told of a newer version");
    return 0;
}

LRESULT PageHost::OnSysCommand(WPARAM command, LPARAM point) noexcept
{
    // The system's move loop would wait for a mouse button that nobody releases.
    if ((command & 0xFFF0) != SC_MOVE)
        return ::DefWindowProcW(m_hWnd, WM_SYSCOMMAND, command, point);
    WriteLine(L"HOST MoveWindow: the hosting window would follow the mouse until its button is "
              L"released");
    return 0;
}

} // namespace pagescript
