#include "common/cd_drive.h"

#include "platform/fs/fs.h"

UINT g_uQueryCancelAutoPlay = 0;

std::string FindCdDrive() {
    DWORD mask = GetLogicalDrives();
    int n = 0;
    while (n < 32 && (mask >> n) != 0)
        ++n;
    if (n < 4)
        return "";
    // D: to M: only, the lowest CD-ROM letter wins.
    for (int index = 3; index <= 12 && index < n; ++index) {
        std::string root = std::string(1, static_cast<char>('A' + index)) + ":\\";
        if (GetDriveType(root) == DRIVE_CDROM)
            return root;
    }
    return "";
}

void RegisterQueryCancelAutoPlay() {
    if (g_uQueryCancelAutoPlay == 0)
        g_uQueryCancelAutoPlay = RegisterWindowMessage("QueryCancelAutoPlay");
}

LRESULT CAutoPlayDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_uQueryCancelAutoPlay != 0 && msg == g_uQueryCancelAutoPlay) {
        SetWindowLongPtr(m_hWnd, DWLP_MSGRESULT, -1);
        return 1;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
