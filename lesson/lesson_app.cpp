#include "lesson/lesson_app.h"

#include "lesson/lesson_dlg.h"
#include "lesson/resources.h"
#include "platform/com/control_container.h"
#include "platform/net/winsock.h"

BOOL CLessonApp::InitInstance() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return FALSE;
    }
    if (data.wVersion != MAKEWORD(1, 1)) {
        WSACleanup();
        return FALSE;
    }
    // The main dialog hosts the update control. (Three-dimensional dialog
    // controls are how every renderer draws anyway.)
    AfxEnableControlContainer();
    RegisterLessonResources();
    {
        CLessonDlg dlg;
        // -1: the update control could not be made; nothing was started.
        dlg.DoModal();
    }
    WSACleanup();
    return FALSE;
}
