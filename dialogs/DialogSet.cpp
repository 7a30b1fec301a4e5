#include "dialogs/DialogSet.h"

#include "dialogs/GameDirectory.h"
#include "framework/DataExchange.h"
#include "res/resource.h"
#include "settings/Autostart.h"
#include "settings/ConfigFile.h"

using namespace settings;

const framework::MessageMap<DialogSet> DialogSet::s_messageMap = {
    {WM_COMMAND, IDC_BTN_BROWSE, &DialogSet::OnBrowseClicked},
    {WM_COMMAND, IDC_BTN_SET_OK, &DialogSet::OnOkClicked},
    {WM_COMMAND, IDC_BTN_SET_CANCEL, &DialogSet::OnCancelClicked},
};

DialogSet::DialogSet(const paths::Places& places) noexcept
    : WithMessageMap(IDD_DIALOG_SET), m_places(places)
{
}

void DialogSet::DoDataExchange(framework::CDataExchange* pDX) noexcept
{
    framework::DDX_Check(pDX, IDC_CHECK_AUTOSTART, m_bAutoStart);
    framework::DDX_Control(pDX, IDC_RADIO_HIDE, m_btnHide);
    framework::DDX_Control(pDX, IDC_RADIO_EXIT, m_btnExit);
    framework::DDX_Control(pDX, IDC_RADIO_PROMPT, m_btnPrompt);
    framework::DDX_Control(pDX, IDC_RADIO_AUTO_UPDATE, m_btnAutoUpdate);
    framework::DDX_Control(pDX, IDC_RADIO_ASK_UPDATE, m_btnAskUpdate);
    framework::DDX_Text(pDX, IDC_EDIT_GAME_PATH, m_strGamePath);
}

BOOL DialogSet::OnInitDialog() noexcept
{
    // Binds the radio buttons to their members before they are set below.
    CDialog::OnInitDialog();
    const std::wstring autostart =
        ReadSetting(m_places, kSectionSystem, kKeyAutostart, kChoiceCapacity);
    m_bAutoStart = TextEquals(autostart, kChoiceOn) ? 1 : 0;
    SelectExitRule(ReadSetting(m_places, kSectionSystem, kKeyExit, kChoiceCapacity));
    SelectUpdateRule(ReadSetting(m_places, kSectionSystem, kKeyAutoUpdate, kChoiceCapacity));
    m_strGamePath = ReadSetting(m_places, kSectionInfo, kKeyGamePath, kGamePathCapacity);
    UpdateData(false);
    return TRUE;
}

void DialogSet::SelectExitRule(const std::wstring& stored) noexcept
{
    // Only the exact texts count; anything else means "ask".
    if (TextEquals(stored, kChoiceOn))
        m_btnHide.SetCheck(BST_CHECKED);
    else if (TextEquals(stored, kChoiceExit))
        m_btnExit.SetCheck(BST_CHECKED);
    else
        m_btnPrompt.SetCheck(BST_CHECKED);
}

void DialogSet::SelectUpdateRule(const std::wstring& stored) noexcept
{
    if (TextEquals(stored, kChoiceOn))
        m_btnAutoUpdate.SetCheck(BST_CHECKED);
    else
        m_btnAskUpdate.SetCheck(BST_CHECKED);
}

const wchar_t* DialogSet::SelectedExitRule() const noexcept
{
    if (m_btnHide.GetCheck() == BST_CHECKED)
        return kChoiceOn;
    if (m_btnExit.GetCheck() == BST_CHECKED)
        return kChoiceExit;
    return kChoiceOff;
}

const wchar_t* DialogSet::SelectedUpdateRule() const noexcept
{
    return m_btnAutoUpdate.GetCheck() == BST_CHECKED ? kChoiceOn : kChoiceOff;
}

void DialogSet::OnOkClicked() noexcept
{
    UpdateData(true);
    // Switches the Run value and stores system/autostart together.
    SetAutostart(m_places, m_bAutoStart != 0);
    (void)WriteSetting(m_places, kSectionSystem, kKeyExit, SelectedExitRule());
    (void)WriteSetting(m_places, kSectionSystem, kKeyAutoUpdate, SelectedUpdateRule());
    // The game directory is not taken from the edit box: only a checked browse stores it.
    CDialog::OnOK();
}

void DialogSet::OnCancelClicked() noexcept { CDialog::OnCancel(); }

void DialogSet::OnBrowseClicked() noexcept
{
    // Takes the check box as the user left it, so that showing the new directory below does
    // not undo a tick made before browsing.
    UpdateData(true);
    std::wstring chosen = ChooseGameDirectory(m_places);
    // After a cancel or a refusal the stored directory is still the game's: the box keeps
    // showing it rather than going blank.
    if (chosen.empty())
        chosen = ReadSetting(m_places, kSectionInfo, kKeyGamePath, kGamePathCapacity);
    m_strGamePath = std::move(chosen);
    UpdateData(false);
}
