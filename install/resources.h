// The installer's resources: dialog templates and the ids the code uses.
#pragma once

#include "common/program_codes.h"

enum : int {
    IDR_MAINFRAME = 128,                // program icon
    IDD_INSTALL_DIALOG = 102,           // main dialog
    IDD_COPY_PROGRESS = 130,            // progress dialog
    IDD_CD_PROMPT = kCdPromptDialogId,  // "请注意": asks for the next CD
    IDB_INSTALL_PICTURE = 137,          // picture on the left of the progress dialog and the prompt
    IDB_RULE = 140,                     // one-unit rule above the prompt's buttons
    IDC_PROGRESS_ALL = 1000,
    IDC_PROGRESS_FILE = 1001,
    IDC_FILE_NAME = 1011,
    IDC_WARNING = 1013,
    IDC_COPY_STATE = 1014,
};

// Registers the dialog templates (at program start; again is harmless).
void RegisterInstallResources();
