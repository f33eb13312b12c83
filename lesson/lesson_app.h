// The launcher's application object: runs the main dialog and ends.
#pragma once

#include "platform/ui/app.h"

class CLessonApp : public CWinApp {
public:
    // Starts Windows Sockets 1.1 (a failure ends the program at once, without
    // a message), enables control hosting, runs the main dialog modally and
    // returns FALSE: the program ends with the quit code the dialog left.
    BOOL InitInstance() override;
};
