// The installer's application object: runs the main dialog and ends.
#pragma once

#include "platform/ui/app.h"

class CInstallApp : public CWinApp {
public:
    // Runs the main dialog modally and returns FALSE: the program ends with
    // the quit code its dialogs requested.
    BOOL InitInstance() override;
};
