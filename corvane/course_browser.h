// Opening a page in the course's own browser program, and the module's
// caption for its application message boxes.
#pragma once

#include <string>

// Starts courseFolder + "\systemInfo\soft\iexplore.exe " + page, without
// quotes (the browser takes the rest of the line as its one page), shown
// normally, and lets it live on. False when it could not be started (the
// caller shows the system's text).
bool OpenInCourseBrowser(const std::string& courseFolder, const std::string& page);

// The module's file name without its extension, the caption of its
// application message boxes ("corvane").
std::string ModuleCaption();

// An application message box of the module: OK button, the module's caption.
void ModuleMessageBox(const std::string& text, unsigned type);
