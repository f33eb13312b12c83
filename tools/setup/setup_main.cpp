#include "tools/setup/setup_main.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "common/cd_drive.h"
#include "common/program_codes.h"
#include "common/tool_options.h"
#include "platform/fs/fs.h"
#include "platform/prefix/prefix.h"
#include "platform/process/process.h"
#include "platform/text/text.h"
#include "platform/ui/ui.h"
#include "tools/setup/cd_drive_lease.h"
#include "tools/setup/course_disc.h"
#include "tools/setup/course_folder.h"
#include "tools/setup/course_menu_entry.h"
#include "tools/setup/install_runs.h"
#include "tools/setup/installer_watch.h"
#include "tools/setup/program_dir.h"
#include "tools/setup/setup_options.h"
#include "tools/setup/setup_uninstall.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailed = 2;

void Say(const std::string& utf8) {
    std::cout << "telvora-setup: " << utf8 << std::endl;
}

int Fail(const std::string& utf8) {
    std::cerr << "telvora-setup: " << utf8 << std::endl;
    return kExitFailed;
}

bool AskCopyMedia(const std::string& option) {
    if (!option.empty())
        return option == "yes";
    return MessageBox(nullptr, "是否拷贝流媒体文件？\n（视频和音频文件较大，不拷贝时从光盘播放）",
                      "课件安装", MB_YESNO) == IDYES;
}

// Registers the update control the course pages embed, when it is built.
void RegisterUpdateControl(const std::string& programDir) {
    const fs::path control = fs::path(programDir) / "libcorvane.so";
    const fs::path host = fs::path(programDir) / "telvora-ocx";
    std::error_code ec;
    if (!fs::exists(control, ec) || !fs::exists(host, ec)) {
        Say("the update control is not built here; the course's update link will not work");
        return;
    }
    // Its result code is telvora-ocx's answer to a user at a terminal, not
    // ours: what this step says is below.
    int status = RunProgramAndWait(host.string(), {"regsvr", control.string()}, {}, true);
    if (status != 0)
        Say("warning: the update control could not be registered (telvora-ocx regsvr)");
    else
        Say("the update control " + control.string() + " is registered");
}

// The course's entry in the desktop's menu; a failure here leaves the
// installed course as it is.
void AddToMenu(const DiscDescription& disc, const CoursePlace& place,
               const std::string& programDir) {
    CourseMenuEntry entry;
    entry.courseId = disc.courseId;
    entry.courseName = disc.courseName;
    entry.courseDir = place.unixDir;
    entry.launcher = place.unixDir + "/bin/lesson";
    // The menu starts the launcher without this run's environment.
    if (const char* prefix = std::getenv("TELVORA_PREFIX"); prefix && *prefix) {
        std::error_code ec;
        entry.prefix = fs::absolute(PrefixDir(), ec).lexically_normal().string();
    }
    entry.icon = CourseIconFor(programDir);
    std::string path, error;
    if (WriteCourseMenuEntry(entry, &path, &error))
        Say("the course is in the desktop's menu: " + path);
    else
        Say("warning: no menu entry for the course: " + error);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A folder name quoted for an answer file: backslashes and quotes escaped.
std::string QuoteForAnswers(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            q += '\\';
        q += c;
    }
    return q + "\"";
}

// An answer file for one installer run: insert the next CD at the prompt,
// then whatever the caller's own answer file says.
std::string WriteNextCdAnswers(char letter, const std::string& nextCd) {
    std::random_device rd;
    fs::path file = fs::temp_directory_path() / ("telvora-setup-answers-" + std::to_string(rd()) +
                                                 std::to_string(rd()) + ".txt");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "# telvora-setup: the next CD\n"
        << "dialog " << kCdPromptDialogId << " : insert " << letter << ": "
        << QuoteForAnswers(nextCd) << " ; press 1\n";
    if (const char* own = std::getenv("TELVORA_ANSWERS"); own && *own)
        out << ReadAll(own) << "\n";
    out.close();
    return out ? file.string() : "";
}

int RunOneInstall(const std::string& installLink, char letter, const std::string& nextCd,
                  const std::string& cdName) {
    // Headless runs take the next CD from an answer file.
    std::vector<EnvChange> env;
    std::error_code ec;
    const std::string answers = nextCd.empty() ? "" : WriteNextCdAnswers(letter, nextCd);
    if (!answers.empty())
        env.push_back({"TELVORA_ANSWERS", answers});
    // With real windows the watch inserts it when the installer announces
    // its prompt; at a terminal the CD's progress shows on one line.
    const bool terminal = StandardErrorIsTerminal();
    bool shown = false;
    CInstallerWatch watch(letter, nextCd, [&](int percent, long copied, long total) {
        if (!terminal)
            return;
        std::fprintf(stderr, "\rtelvora-setup: %s: %3d%% (%ld of %ld files)", cdName.c_str(),
                     percent, copied, total);
        std::fflush(stderr);
        shown = true;
    });
    if (watch.Start())
        env.push_back(watch.Environment());
    int status = RunProgramAndWait(installLink, {}, env);
    watch.Stop();
    if (shown)
        std::fputc('\n', stderr);
    if (!answers.empty())
        fs::remove(answers, ec);
    return status;
}

}  // namespace

int SetupMain(const std::vector<std::string>& args) {
    SetupOptions options;
    std::string error;
    if (!ParseSetupArgs(args, &options, &error)) {
        PrintUsageError(std::cerr, "telvora-setup", error);
        return kExitFailed;
    }
    if (options.help) {
        std::cout << SetupUsage();
        return 0;
    }
    if (!options.uninstall.empty())
        return UninstallMain(options.uninstall, options.yes);

    // The first CD, in the drive the installer will read.
    CCdDriveLease drive;
    std::string root;
    const bool nextCdsGiven = !options.nextCds.empty();
    if (!options.cdFolder.empty()) {
        if (!drive.MapFolder(options.cdFolder, options.mapDrive, &root, &error))
            return Fail(error);
        Say("the CD folder " + options.cdFolder + " is drive " + root + " for this run");
    } else {
        char letter = options.cdDrive;
        if (letter == 0) {
            std::string found = FindCdDrive();
            if (found.empty())
                return Fail("no CD-ROM drive found; give --cd X: or --cd-folder DIR");
            letter = found[0];
        }
        if (!drive.UseDrive(letter, nextCdsGiven, &root, &error))
            return Fail(error);
    }
    DiscDescription disc;
    if (!ReadCourseDisc(root, &disc, &error))
        return Fail(error);
    const std::string title = text::GbkToUtf8(disc.courseName);
    Say("course " + title + " (" + text::GbkToUtf8(disc.courseId) + "), " +
        std::to_string(disc.totalCd) + " CD(s), first CD in " + root);

    std::vector<std::string> nextCds;
    for (const std::string& dir : options.nextCds) {
        std::error_code ec;
        fs::path p = fs::absolute(dir, ec).lexically_normal();
        if (ec || !fs::is_directory(p, ec))
            return Fail("--next-cd: no folder " + dir);
        nextCds.push_back(p.string());
    }
    if (nextCds.size() > static_cast<std::size_t>(disc.totalCd - 1)) {
        return Fail("the course has " + std::to_string(disc.totalCd) +
                    " CD(s); too many --next-cd folders");
    }

    CoursePlace place;
    if (!MakeCoursePlace(options.dest, PrefixDir() + "/courses", disc.courseId, &place, &error)) {
        return Fail(error);
    }
    if (HoldsCourse(place) && !options.reinstall) {
        return Fail("a course is already installed in " + place.unixDir +
                    "; give --reinstall to install it again (its files are overwritten)");
    }
    // The course installed in another folder: its record and menu entry would
    // move here and leave that copy where nothing reaches it.
    if (std::optional<std::string> elsewhere = InstalledElsewhere(disc.courseId, place)) {
        std::error_code ec;
        fs::remove(place.unixDir, ec);  // only when still empty
        const std::string id = text::GbkToUtf8(disc.courseId);
        return Fail("the course " + id + " is already installed in " + *elsewhere +
                    "; to install it again there, give --reinstall --dest " +
                    fs::path(*elsewhere).parent_path().string() +
                    "; to install it here, first remove it with telvora-setup --uninstall " + id);
    }
    Say("course folder " + place.unixDir + " (" + text::GbkToUtf8(place.winDir) + ")");

    const bool copyMedia = AskCopyMedia(options.media);
    const std::string programDir = ProgramDir();
    std::vector<std::string> links;
    if (!WriteCourseFiles(place, disc, root, copyMedia, &error) ||
        !WriteCourseRecord(disc.courseId, place, &error) ||
        !LinkPrograms(place, programDir, &links, &error)) {
        return Fail(error);
    }
    RegisterUpdateControl(programDir);
    const std::string installLink = place.unixDir + "/bin/install";
    const bool haveLauncher = links.size() > 1;

    if (options.prepareOnly) {
        drive.Keep();
        Say("the course is ready for the installer: run " + installLink + " with CD 1 in " + root +
            (options.cdFolder.empty() ? "" : " (mapped to " + options.cdFolder + ")"));
        return 0;
    }

    const char letter = root[0];
    InstallRunsResult result = RunInstallations(
        place, disc.totalCd, nextCds,
        [&](int cd, const std::string& nextCd) {
            return RunOneInstall(installLink, letter, nextCd, "CD " + std::to_string(cd));
        },
        [](const std::string& step) { Say(step); });
    drive.Restore();

    switch (result.outcome) {
        case InstallOutcome::Installed:
            Say(title + " is installed in " + place.unixDir + " (" +
                std::to_string(result.cdsDone) + " CD(s), " +
                (copyMedia ? "media copied" : "media left on the CDs") + ")");
            if (haveLauncher) {
                Say("start the course with: " + place.unixDir + "/bin/lesson");
                if (!options.noMenuEntry)
                    AddToMenu(disc, place, programDir);
            } else {
                Say("open the course's start page: " + place.unixDir + "/" +
                    text::GbkToUtf8(disc.defaultPage));
            }
            break;
        case InstallOutcome::Abandoned:
            Say(result.message + ". The course in " + place.unixDir +
                " is incomplete; run telvora-setup --reinstall with the first CD to start again.");
            break;
        case InstallOutcome::Failed:
            std::cerr << "telvora-setup: installation failed: " << result.message
                      << ". The course in " << place.unixDir << " is incomplete." << std::endl;
            break;
    }
    return ExitStatusOf(result.outcome);
}
