#include "install/cd_prompt_dlg.h"

#include "install/install_state.h"
#include "install/resources.h"
#include "platform/process/announce.h"

CCdPromptDlg::CCdPromptDlg(HWND parent) : CAutoPlayDialog(IDD_CD_PROMPT, parent) {
    BindText(IDC_WARNING, &m_strWarning);
}

BOOL CCdPromptDlg::OnInitDialog() {
    m_strWarning = g_strPrompt;
    BOOL result = CAutoPlayDialog::OnInitDialog();
    // The program that started the installer may put the next disc in now.
    Announce(kCdPromptAnnouncement);
    return result;
}
