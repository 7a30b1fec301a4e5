#pragma once
// DialogSet: the modal settings dialog (template 130) that the main window's settings button
// opens: autostart, what closing the main window does, updates, and the game directory. The
// settings are read from config.ini when it opens and written by its OK button only; the game
// directory is stored at once by a successful browse, all in the config.ini and under the
// registry root of the places it is given. Lives on the opener's stack for one modal run; UI
// thread only.
#include "base/Places.h"
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/MessageMap.h"

#include <string>

class DialogSet : public framework::WithMessageMap<DialogSet, framework::CDialog> {
public:
    explicit DialogSet(const paths::Places& places) noexcept;

protected:
    int m_bAutoStart = 0;
    framework::CButton m_btnHide;
    framework::CButton m_btnExit;
    framework::CButton m_btnPrompt;
    framework::CButton m_btnAutoUpdate;
    framework::CButton m_btnAskUpdate;
    std::wstring m_strGamePath;

    void DoDataExchange(framework::CDataExchange* pDX) noexcept override;
    BOOL OnInitDialog() noexcept override;

private:
    void OnBrowseClicked() noexcept;
    void OnOkClicked() noexcept;
    void OnCancelClicked() noexcept;

    // The stored choices shown by the radio buttons, and the choices they stand for now.
    void SelectExitRule(const std::wstring& stored) noexcept;
    void SelectUpdateRule(const std::wstring& stored) noexcept;
    [[nodiscard]] const wchar_t* SelectedExitRule() const noexcept;
    [[nodiscard]] const wchar_t* SelectedUpdateRule() const noexcept;

    // The opener's, which outlive the dialog.
    const paths::Places& m_places;

    friend WithMessageMap;
    static const framework::MessageMap<DialogSet> s_messageMap;
};
