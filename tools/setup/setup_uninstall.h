// telvora-setup --uninstall: removing an installed course.
#pragma once

#include <string>

// Exit statuses of the removal.
enum : int {
    kUninstallDone = 0,      // the course is gone
    kUninstallDeclined = 1,  // the user said no; nothing was removed
    kUninstallFailed = 2,    // refused or failed; the message says what is left
    kUninstallNoCourse = 3,  // no course with that id is installed in the prefix
};

// Removes the course courseIdUtf8 of the prefix: its folder (only when it is
// the folder the record names and holds that course's setup.ini), its
// registry record, its menu entry and, when no course is left, the update
// control's registration. Asks first unless assumeYes.
int UninstallMain(const std::string& courseIdUtf8, bool assumeYes);
