#include "corvane/insert_cd_dlg.h"

#include "corvane/corvane_ids.h"
#include "corvane/corvane_state.h"

CInsertCdDlg::CInsertCdDlg(HWND parent) : CDialog(IDD_INSERT_CD, parent) {
    BindText(IDC_INSERT_CD_TEXT, &m_strText);
}

BOOL CInsertCdDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_uQueryCancelAutoPlay = RegisterWindowMessage("QueryCancelAutoPlay");
    m_strText = g_strInsertCdMsg.Get();
    UpdateData(FALSE);
    return TRUE;
}

LRESULT CInsertCdDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_uQueryCancelAutoPlay != 0 && msg == m_uQueryCancelAutoPlay) {
        return 1;  // cancel AutoPlay
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
