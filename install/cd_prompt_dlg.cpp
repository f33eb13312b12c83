#include "install/cd_prompt_dlg.h"

#include "install/install_state.h"
#include "install/resources.h"

CCdPromptDlg::CCdPromptDlg(HWND parent) : CAutoPlayDialog(IDD_CD_PROMPT, parent) {
    BindText(IDC_WARNING, &m_strWarning);
}

BOOL CCdPromptDlg::OnInitDialog() {
    m_strWarning = g_strPrompt;
    return CAutoPlayDialog::OnInitDialog();
}
