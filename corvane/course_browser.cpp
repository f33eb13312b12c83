#include "corvane/course_browser.h"

#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/text/text.h"
#include "platform/ui/ui.h"

bool OpenInCourseBrowser(const std::string& courseFolder, const std::string& page) {
    const std::string commandLine =
        courseFolder + "\\systemInfo" + "\\soft" + "\\iexplore.exe " + page;
    return StartProgram(commandLine.c_str(), SW_SHOWNORMAL) != FALSE;
}

std::string ModuleCaption() {
    static const char kAnchor = 0;
    std::string path = GetModuleFileNameOf(&kAnchor);
    std::size_t slash = text::FindLastBackslash(path);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    // The system's module was plainly "corvane"; Linux names it libcorvane.
    if (name.size() > 3 && name.compare(0, 3, "lib") == 0) {
        name.erase(0, 3);
    }
    return name.empty() ? std::string("corvane") : name;
}

void ModuleMessageBox(const std::string& text, unsigned type) {
    MessageBox(nullptr, text, ModuleCaption(), type);
}
