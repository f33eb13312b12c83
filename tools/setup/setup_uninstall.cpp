#include "tools/setup/setup_uninstall.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "common/course_description.h"
#include "common/course_record.h"
#include "platform/fs/fs.h"
#include "platform/prefix/prefix.h"
#include "platform/process/process.h"
#include "platform/text/text.h"
#include "platform/ui/ui.h"
#include "tools/setup/course_disc.h"
#include "tools/setup/course_menu_entry.h"
#include "tools/setup/course_removal.h"
#include "tools/setup/program_dir.h"

namespace fs = std::filesystem;

namespace {

void Say(const std::string& utf8) {
    std::cout << "telvora-setup: " << utf8 << std::endl;
}

int Fail(int status, const std::string& utf8) {
    std::cerr << "telvora-setup: " << utf8 << std::endl;
    return status;
}

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the removal will take away.
struct RemovalPlan {
    std::string courseId;       // GBK, as the record's key is named
    std::string courseName;     // GBK, from the course's setup.ini
    std::string recordedDir;    // GBK Windows path the record names
    std::string folder;         // UTF-8; "" when there is no folder to remove
    std::string menuEntry;      // UTF-8; "" when there is none of this course
    bool lastCourse = false;    // no other course is installed in the prefix
    std::string controlModule;  // GBK; registered module, when the control goes too
};

// Headless runs without an answer file ask on the terminal: a message box
// there would take its default button, Yes, without anyone having said so.
// That includes a run meant for windows whose Qt side is missing, which the
// program entry turns into a headless one.
bool AskInTerminal(const std::string& programDir) {
    if (!Env("TELVORA_ANSWERS").empty())
        return false;
    const std::string ui = text::AsciiLower(Env("TELVORA_UI"));
    const bool display = !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty();
    const bool windows = ui == "qt" || (ui != "headless" && display);
    std::error_code ec;
    return !windows || !fs::exists(fs::path(programDir) / "libtelvora-qt.so", ec);
}

std::vector<std::string> PlanLines(const RemovalPlan& plan) {
    std::vector<std::string> lines;
    if (!plan.folder.empty())
        lines.push_back("the course folder " + plan.folder + " and everything in it");
    lines.push_back("the registry record HKEY_CURRENT_USER\\" +
                    text::GbkToUtf8(CourseRecordKey(plan.courseId)));
    if (!plan.menuEntry.empty())
        lines.push_back("the menu entry " + plan.menuEntry);
    if (!plan.controlModule.empty())
        lines.push_back("the update control's registration (no other course is left)");
    return lines;
}

bool Confirm(const RemovalPlan& plan, const std::string& programDir) {
    const std::string title =
        plan.courseName.empty() ? plan.courseId : plan.courseName + "（" + plan.courseId + "）";
    if (AskInTerminal(programDir)) {
        std::cout << "telvora-setup: uninstall " << text::GbkToUtf8(title) << "? This removes:\n";
        for (const std::string& line : PlanLines(plan))
            std::cout << "  " << line << "\n";
        std::cout << "Remove them? [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer))
            std::cout << "\n";
        answer = text::AsciiLower(text::Trim(answer));
        return answer == "y" || answer == "yes" || answer == text::GbkToUtf8("是");
    }
    std::string question = "确实要卸载课件“" + title + "”吗？\n\n将删除：";
    if (!plan.folder.empty())
        question += "\n课件文件夹 " + text::Utf8ToGbk(plan.folder) + " 及其中的全部文件";
    question += "\n注册表记录 HKEY_CURRENT_USER\\" + CourseRecordKey(plan.courseId);
    if (!plan.menuEntry.empty())
        question += "\n菜单项 " + text::Utf8ToGbk(plan.menuEntry);
    if (!plan.controlModule.empty())
        question += "\n课件更新控件的注册（已没有其他课件）";
    return MessageBox(nullptr, question, "课件卸载",
                      MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}

// Unregisters the update control through telvora-ocx beside this program,
// with the control beside it (any copy of the module removes the same
// entries), else with the registered one.
bool UnregisterUpdateControl(const std::string& programDir, const std::string& registered,
                             std::string* error) {
    std::error_code ec;
    const fs::path host = fs::path(programDir) / "telvora-ocx";
    fs::path module = fs::path(programDir) / "libcorvane.so";
    if (!fs::is_regular_file(module, ec)) {
        std::optional<std::string> p = ToUnixPath(registered);
        if (!p || !fs::is_regular_file(*p, ec)) {
            *error = "the registered module " + text::GbkToUtf8(registered) + " is gone";
            return false;
        }
        module = *p;
    }
    if (!fs::is_regular_file(host, ec)) {
        *error = host.string() + " is missing";
        return false;
    }
    const int status = RunProgramAndWait(host.string(), {"unregsvr", module.string()}, {}, true);
    if (status != 0) {
        *error = "telvora-ocx unregsvr " + module.string() + " ended with status " +
                 std::to_string(status);
        return false;
    }
    return true;
}

}  // namespace

int UninstallMain(const std::string& courseIdUtf8, bool assumeYes) {
    const std::string wanted = text::Utf8ToGbk(courseIdUtf8);
    if (text::GbkToUtf8(wanted) != courseIdUtf8 || !CheckCourseId(wanted).empty()) {
        return Fail(kUninstallFailed,
                    "--uninstall: " + courseIdUtf8 + " is not a course id (" +
                        (CheckCourseId(wanted).empty() ? "not GBK text" : CheckCourseId(wanted)) +
                        ")");
    }

    // The record, found as the registry finds keys: without regard to case.
    const std::vector<InstalledCourse> courses = ListInstalledCourses();
    RemovalPlan plan;
    std::vector<std::string> otherDirs;
    bool found = false;
    for (const InstalledCourse& c : courses) {
        if (!found && text::EqualsNoCase(c.courseId, wanted)) {
            found = true;
            plan.courseId = c.courseId;
            plan.recordedDir = c.winDir;
        } else if (std::optional<std::string> dir = ToUnixPath(c.winDir);
                   dir && !c.winDir.empty()) {
            otherDirs.push_back(*dir);
        }
    }
    if (!found) {
        return Fail(kUninstallNoCourse, "no course " + courseIdUtf8 +
                                            " is installed in the prefix " + PrefixDir() +
                                            " (no registry record)");
    }
    plan.lastCourse = courses.size() == 1;

    const std::string programDir = ProgramDir();
    const std::string hint =
        "; nothing was removed. If the record is stale, delete it with: "
        "telvora-reg delete 'HKCU\\" +
        text::GbkToUtf8(CourseRecordKey(plan.courseId)) + "' /f";
    std::string unixDir;
    if (!plan.recordedDir.empty()) {
        std::optional<std::string> dir = ToUnixPath(plan.recordedDir);
        if (!dir) {
            return Fail(kUninstallFailed, "the record names the folder " +
                                              text::GbkToUtf8(plan.recordedDir) +
                                              ", which no drive of the prefix reaches" + hint);
        }
        unixDir = *dir;
    }
    std::error_code ec;
    if (!unixDir.empty() && fs::exists(fs::symlink_status(unixDir, ec))) {
        std::string why;
        if (!CheckCourseFolderToRemove(unixDir, plan.courseId,
                                       {{Env("HOME"), "your home folder"},
                                        {PrefixDir(), "the prefix"},
                                        {programDir, "the programs' folder"}},
                                       otherDirs, ReadText("/proc/self/mounts"), &why)) {
            return Fail(kUninstallFailed, "refused: " + why + hint);
        }
        plan.folder = unixDir;
        CourseIdInFolder(unixDir, &plan.courseName);
    } else {
        Say("the course folder " + (unixDir.empty() ? std::string("(none recorded)") : unixDir) +
            " is already gone");
    }
    if (!unixDir.empty())
        plan.menuEntry = FindCourseMenuEntry(plan.courseId, unixDir);
    if (plan.lastCourse)
        plan.controlModule = RegisteredControlModule();

    if (!assumeYes && !Confirm(plan, programDir)) {
        Say("nothing was removed");
        return kUninstallDeclined;
    }

    std::string error;
    if (!plan.folder.empty()) {
        if (!RemoveCourseFolder(plan.folder, &error)) {
            return Fail(kUninstallFailed, error +
                                              ". The registry record and the menu entry are "
                                              "kept; run the removal again once that is fixed.");
        }
        Say("removed the course folder " + plan.folder);
    }
    if (!RemoveCourseRecord(plan.courseId, &error))
        return Fail(kUninstallFailed, error);
    Say("removed the registry record HKEY_CURRENT_USER\\" +
        text::GbkToUtf8(CourseRecordKey(plan.courseId)));

    int status = kUninstallDone;
    if (!plan.menuEntry.empty()) {
        if (fs::remove(plan.menuEntry, ec) || !ec) {
            Say("removed the menu entry " + plan.menuEntry);
        } else {
            status = Fail(kUninstallFailed,
                          "can't remove the menu entry " + plan.menuEntry + ": " + ec.message());
        }
    }
    // Another setup may have recorded a course meanwhile: look again.
    if (!plan.controlModule.empty() && ListInstalledCourses().empty()) {
        if (UnregisterUpdateControl(programDir, plan.controlModule, &error)) {
            Say("the update control is no longer registered (no course is left)");
        } else {
            status = Fail(kUninstallFailed, "the update control's registration is kept: " + error);
        }
    }
    if (status == kUninstallDone) {
        Say((plan.courseName.empty() ? courseIdUtf8 : text::GbkToUtf8(plan.courseName)) +
            " is uninstalled");
    }
    return status;
}
