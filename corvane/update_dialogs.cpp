#include "corvane/update_dialogs.h"

#include "common/system_error.h"
#include "corvane/corvane_ids.h"
#include "corvane/course_browser.h"

CSharedString g_strOfferFilePath;
CSharedString g_strOfferFileName;

CLoginDlg::CLoginDlg(HWND parent) : CDialog(IDD_LOGIN, parent) {}

BOOL CLoginDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowPos(m_hWnd, HWND_TOPMOST, 300, 200, 0, 0, SWP_NOSIZE);
    return TRUE;
}

void CLoginDlg::OnOK() {
    g_strUserName.Set(GetDlgItemText(m_hWnd, IDC_LOGIN_USER));
    g_strPassword.Set(GetDlgItemText(m_hWnd, IDC_LOGIN_PASSWORD));
    EndDialog(IDOK);
}

LRESULT CLoginDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE)
        SetWindowPos(m_hWnd, HWND_NOTOPMOST, 300, 200, 0, 0, SWP_NOSIZE);
    return CDialog::WindowProc(msg, wParam, lParam);
}

CUpdateOfferDlg::CUpdateOfferDlg(HWND parent) : CDialog(IDD_UPDATE_OFFER, parent) {
    BindText(IDC_OFFER_TEXT, &m_strText);
}

LRESULT CUpdateOfferDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == IDC_OFFER_EXPLAIN && HIWORD(wParam) == BN_CLICKED) {
        OnExplain();
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CUpdateOfferDlg::OnExplain() {
    const std::string course = g_strOfferFilePath.Get() + g_strOfferFileName.Get();
    if (!OpenInCourseBrowser(course, course + "\\systeminfo" + "\\explain.htm"))
        ShowSystemError();
}
