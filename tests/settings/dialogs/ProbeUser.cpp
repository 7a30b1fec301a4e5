#include "tests/settings/dialogs/ProbeUser.h"

#include "base/ComApartment.h"
#include "base/Lock.h"
#include "base/Text.h"
#include "res/resource.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowDriver.h"

#include <commctrl.h>
#include <shlobj.h>

namespace probe {
using test::Children;
using test::StoredWindowText;
using test::Whose;
using test::WindowText;

namespace {

constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kPollMs = 10;
constexpr DWORD kThreadTimeoutMs = 60000;
constexpr int kSelectAttempts = 100;

Lock g_outputLock;

std::wstring OwnerTitle(HWND hwnd)
{
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    return owner ? StoredWindowText(owner) : L"none";
}

// The shell's folder browser is the dialog with a folder tree; its caption is the system's
// and differs between languages.
HWND FindVisibleBrowser()
{
    for (HWND dialog : test::TopWindows(Whose::ThisProcess, L"#32770"))
        if (!Children(dialog, WC_TREEVIEWW).empty())
            return dialog;
    return nullptr;
}

// The browser starts on its root; a selection that took moves the caret off it. The first
// request can come while the browser still fills its tree, so it is repeated until it holds.
bool SelectInBrowser(HWND browser, HWND tree, const std::wstring& target)
{
    PIDLIST_ABSOLUTE computer = nullptr;
    if (target == L"computer" &&
        FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer)))
        return false;
    bool selected = false;
    for (int attempt = 0; attempt < kSelectAttempts && !selected; ++attempt) {
        if (computer)
            ::SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(computer));
        else
            ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE,
                           reinterpret_cast<LPARAM>(target.c_str()));
        const LRESULT root = ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        const LRESULT caret = ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
        selected = caret && caret != root;
        if (!selected)
            ::Sleep(kPollMs);
    }
    ::CoTaskMemFree(computer);
    return selected;
}

std::wstring LabelTexts(HWND browser)
{
    std::wstring texts;
    for (HWND label : Children(browser, L"Static")) {
        const std::wstring text = StoredWindowText(label);
        if (text.empty())
            continue;
        texts += (texts.empty() ? L"" : L"|") + text;
    }
    return texts;
}

std::wstring CheckedIds(HWND dialog)
{
    std::wstring ids;
    for (int id = IDC_CHECK_AUTOSTART; id <= IDC_RADIO_AUTO_UPDATE; ++id) {
        HWND button = ::GetDlgItem(dialog, id);
        if (button && ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
            ids += (ids.empty() ? L"" : L",") + std::to_wstring(id);
    }
    return ids;
}

} // namespace

void WriteFields(std::initializer_list<std::wstring_view> fields)
{
    std::wstring line;
    for (std::wstring_view field : fields)
        line.append(line.empty() ? L"" : L"\t").append(field);
    const std::string bytes = text::ToUtf8(line) + "\n";
    LockGuard lock(g_outputLock);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
                &written, nullptr);
}

ProbeUser::ProbeUser(std::wstring boxCaption, HWND mainWindow)
    : m_boxCaption(std::move(boxCaption)), m_hMainWindow(mainWindow),
      m_finishing(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

ProbeUser::~ProbeUser() { (void)Finish(); }

void ProbeUser::StartInDialog(HANDLE ready, HWND* dialog, HANDLE browseDone,
                              std::vector<std::wstring> steps)
{
    m_ready = ready;
    m_dialog = dialog;
    m_done = browseDone;
    m_steps = std::move(steps);
    m_bDialogSteps = true;
    m_thread.Reset(::CreateThread(nullptr, 0, &Run, this, 0, nullptr));
}

void ProbeUser::StartBrowse(std::wstring target, HANDLE done)
{
    m_browseTarget = std::move(target);
    m_done = done;
    m_bDialogSteps = false;
    m_thread.Reset(::CreateThread(nullptr, 0, &Run, this, 0, nullptr));
}

bool ProbeUser::Finish()
{
    if (!m_thread)
        return !m_bFailed;
    ::SetEvent(m_finishing.Get());
    // The user's thread may be reading a window of this thread, which takes this thread's
    // messages: they are pumped meanwhile.
    const ULONGLONG deadline = ::GetTickCount64() + kThreadTimeoutMs;
    HANDLE thread = m_thread.Get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, kPollMs, QS_ALLINPUT) != WAIT_OBJECT_0) {
        if (::GetTickCount64() >= deadline) {
            (void)Fail(L"the user's thread did not end");
            break;
        }
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    m_thread.Reset();
    return !m_bFailed;
}

DWORD WINAPI ProbeUser::Run(void* self) noexcept
{
    auto* user = static_cast<ProbeUser*>(self);
    try {
        // The folder browser's selection takes a PIDL from this thread's shell calls.
        ComApartment apartment;
        const bool done = user->m_bDialogSteps ? user->RunDialogSteps()
                                               : user->Browse(user->m_browseTarget, user->m_done);
        if (!done)
            user->CloseEverything();
    } catch (...) {
        (void)user->Fail(L"the user stopped on an exception");
    }
    return 0;
}

bool ProbeUser::Fail(std::wstring_view what)
{
    m_bFailed = true;
    WriteFields({L"error", what});
    return false;
}

void ProbeUser::CloseEverything()
{
    const ULONGLONG deadline = ::GetTickCount64() + kWindowTimeoutMs;
    while (::WaitForSingleObject(m_finishing.Get(), kPollMs) == WAIT_TIMEOUT &&
           ::GetTickCount64() < deadline) {
        for (HWND dialog : test::TopWindows(Whose::ThisProcess, L"#32770"))
            if (dialog != m_hMainWindow)
                ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

bool ProbeUser::RunDialogSteps()
{
    if (::WaitForSingleObject(m_ready, kWindowTimeoutMs) != WAIT_OBJECT_0)
        return Fail(L"the settings dialog did not open");
    HWND dialog = *m_dialog;
    for (const std::wstring& step : m_steps)
        if (!Step(dialog, step))
            return false;
    return true;
}

bool ProbeUser::Step(HWND dialog, const std::wstring& step)
{
    const size_t colon = step.find(L':');
    const std::wstring verb = step.substr(0, colon);
    const std::wstring argument = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
    HWND edit = ::GetDlgItem(dialog, IDC_EDIT_GAME_PATH);
    if (verb == L"report") {
        WriteFields({L"state", CheckedIds(dialog), WindowText(edit)});
    } else if (verb == L"click") {
        HWND button = ::GetDlgItem(dialog, std::stoi(argument));
        if (!button)
            return Fail(L"no control " + argument);
        ::SendMessageW(button, BM_CLICK, 0, 0);
    } else if (verb == L"type") {
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argument.c_str()));
    } else if (verb == L"key") {
        // Keys go through the dialog's loop, where the dialog manager turns them into commands.
        ::PostMessageW(edit, WM_KEYDOWN, argument == L"enter" ? VK_RETURN : VK_ESCAPE, 0);
    } else if (verb == L"browse") {
        // Posted: the click runs the browser's own loop, which this thread has to drive.
        test::PostClick(dialog, IDC_BTN_BROWSE);
        return Browse(argument, m_done);
    } else {
        return Fail(L"unknown step " + step);
    }
    return true;
}

bool ProbeUser::Browse(const std::wstring& target, HANDLE done)
{
    HWND browser = nullptr;
    if (!test::WaitUntil([&] { return (browser = FindVisibleBrowser()) != nullptr; },
                         kWindowTimeoutMs))
        return Fail(L"no folder browser appeared");
    WriteFields({L"browser", OwnerTitle(browser), LabelTexts(browser)});
    // Answers the tool's messages that follow the browser, from the moment it is answered.
    test::BoxAnswerer answerer({{m_boxCaption, IDOK}});
    if (target == L"cancel") {
        ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    } else {
        const std::vector<HWND> trees = Children(browser, WC_TREEVIEWW);
        if (trees.empty() || !SelectInBrowser(browser, trees.front(), target))
            return Fail(L"the browser did not select " + target);
        ::PostMessageW(browser, WM_COMMAND, IDOK, 0);
    }
    const bool back = ::WaitForSingleObject(done, kWindowTimeoutMs) == WAIT_OBJECT_0;
    for (const test::SeenBox& box : answerer.Seen())
        WriteFields({L"message", box.ownerTitle, box.icon ? L"1" : L"0", box.text});
    return back || Fail(L"the code under test did not come back from the browser");
}

} // namespace probe
