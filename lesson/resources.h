// The launcher's resources: its dialogs, its one string and the ids the code
// uses.
#pragma once

#include <string>

enum : int {
    IDD_ABOUTBOX = 100,       // about box, run from the system-menu entry
    IDS_ABOUTBOX = 101,       // the system-menu entry's text
    IDD_LESSON_DIALOG = 102,  // main dialog, hidden throughout
    IDR_MAINFRAME = 128,      // program icon (large and small)
    IDC_CORVANE = 1028,       // the hosted update control
    IDM_ABOUTBOX = 0x0010,    // command id of the system-menu entry
};

// The update control's stored properties as the main dialog's initial data
// holds them, in the control's own persistence format: the property-set
// version and the stock properties for a control placed at 60 by 25.
extern const char kCorvaneInitialState[];

// Registers the dialog templates (at program start; again is harmless).
void RegisterLessonResources();

// The string table: the text of a string resource, empty when there is none.
std::string LoadLessonString(unsigned id);
