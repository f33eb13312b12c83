#include "install/install_app.h"

#include "install/install_dlg.h"
#include "install/install_state.h"
#include "install/resources.h"

BOOL CInstallApp::InitInstance() {
    RegisterInstallResources();
    g_nFilePercent = 0;
    CInstallDlg dlg;
    dlg.DoModal();
    return FALSE;
}
