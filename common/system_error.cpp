#include "common/system_error.h"

#include "platform/error/error.h"
#include "platform/ui/ui.h"

void ShowSystemError() {
    // Taken before the message box can disturb it.
    DWORD code = GetLastError();
    AfxMessageBox(FormatSystemMessage(code), MB_OK | MB_ICONINFORMATION);
}
