#include "tools/setup/setup_options.h"

#include "common/tool_options.h"

namespace {

// "E", "E:" or "E:\" (either case) gives 'E'.
bool ParseDriveLetter(const std::string& s, char* letter) {
    if (s.empty() || s.size() > 3)
        return false;
    char c = s[0];
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z')
        return false;
    if (s.size() >= 2 && s[1] != ':')
        return false;
    if (s.size() == 3 && s[2] != '\\' && s[2] != '/')
        return false;
    *letter = c;
    return true;
}

// Folder names go into answer files, one rule a line: "" when name can go
// there, else what option says against it.
std::string FolderNameProblem(const std::string& option, const std::string& name) {
    for (unsigned char c : name) {
        if (c < 0x20)
            return option + ": a folder name must not hold control characters";
    }
    return "";
}

}  // namespace

const char* SetupUsage() {
    return "usage: telvora-setup [--cd X: | --cd-folder DIR [--drive X:]] [--dest FOLDER]\n"
           "                     [--media yes|no] [--next-cd DIR]... [--reinstall]\n"
           "                     [--prepare-only] [--no-menu-entry]\n"
           "       telvora-setup --uninstall COURSEID [--yes]\n"
           "Installs a course from its first CD: makes the course folder (named after the\n"
           "course id) in FOLDER, its setup.ini, the registry record and the media\n"
           "choice, links the programs into its bin folder, then runs the installer once\n"
           "per CD; the installer asks for each following disc itself.\n"
           "  --cd X:         the CD-ROM drive holding the first CD\n"
           "  --cd-folder DIR a folder holding the first CD, mapped as the CD-ROM drive\n"
           "                  for the run (the letter the installer finds, or --drive X:)\n"
           "  --dest FOLDER   where the course folder is made (C:\\... or a Unix path;\n"
           "                  default: the courses folder of the prefix)\n"
           "  --media yes|no  copy the streaming-media files (asked when not given)\n"
           "  --next-cd DIR   folder of the next CD, inserted at the installer's prompt\n"
           "                  (give it once per following CD, in order); with real\n"
           "                  windows the user then only confirms the prompt\n"
           "  --reinstall     install over an existing course folder\n"
           "  --prepare-only  make the course ready, but do not run the installer\n"
           "  --no-menu-entry put no entry for the course into the desktop's menu\n"
           "                  (by default an installed course gets one in\n"
           "                  ${XDG_DATA_HOME:-~/.local/share}/applications)\n"
           "  --uninstall COURSEID\n"
           "                  remove the installed course: its folder (only the folder\n"
           "                  its registry record names, holding that course's\n"
           "                  setup.ini), the record, its menu entry and, when no course\n"
           "                  is left, the update control's registration; asks first\n"
           "  --yes           with --uninstall: remove without asking\n"
           "Exit status: 0 installed, 1 abandoned by the user, 2 failed or bad usage.\n"
           "With --uninstall: 0 removed, 1 the user said no (nothing removed), 2 refused or\n"
           "failed (the message tells what is left), 3 no such course is installed.\n";
}

bool ParseSetupArgs(const std::vector<std::string>& args, SetupOptions* o, std::string* error) {
    *o = SetupOptions{};
    CToolOptions line;
    line.UnknownOption("unknown argument {}").ExtraArgument("unknown argument {}");
    line.Value("--cd",
               [o](const std::string& v) {
                   return ParseDriveLetter(v, &o->cdDrive) ? ""
                                                           : "--cd needs a drive letter such as E:";
               })
        .NotEmpty();
    line.Value("--drive",
               [o](const std::string& v) {
                   return ParseDriveLetter(v, &o->mapDrive) && o->mapDrive >= 'D' &&
                                  o->mapDrive <= 'M'
                              ? ""
                              : "--drive needs a letter from D: to M: (where the installer looks)";
               })
        .NotEmpty();
    line.Value("--cd-folder",
               [o](const std::string& v) {
                   o->cdFolder = v;
                   return FolderNameProblem("--cd-folder", v);
               })
        .NotEmpty();
    line.Value("--dest", &o->dest).NotEmpty();
    line.Value("--media",
               [o](const std::string& v) {
                   o->media = v;
                   return v == "yes" || v == "no" ? "" : "--media takes yes or no";
               })
        .NotEmpty();
    line.Value("--next-cd",
               [o](const std::string& v) {
                   o->nextCds.push_back(v);
                   return FolderNameProblem("--next-cd", v);
               })
        .NotEmpty();
    line.Flag("--reinstall", &o->reinstall);
    line.Flag("--prepare-only", &o->prepareOnly);
    line.Flag("--no-menu-entry", &o->noMenuEntry);
    line.Value("--uninstall", &o->uninstall).NotEmpty();
    line.Flag("--yes|-y", &o->yes);
    switch (line.Parse(args, error)) {
        case EToolParse::kUsageError:
            return false;
        case EToolParse::kHelp:
            o->help = true;
            return true;
        case EToolParse::kRun:
            break;
    }
    if (!o->uninstall.empty()) {
        const bool installOptions = o->cdDrive != 0 || !o->cdFolder.empty() || o->mapDrive != 0 ||
                                    !o->dest.empty() || !o->media.empty() || !o->nextCds.empty() ||
                                    o->reinstall || o->prepareOnly || o->noMenuEntry;
        if (installOptions) {
            *error = "--uninstall takes no other option but --yes";
            return false;
        }
        return true;
    }
    if (o->yes) {
        *error = "--yes goes with --uninstall";
        return false;
    }
    if (o->cdDrive != 0 && !o->cdFolder.empty()) {
        *error = "give either --cd or --cd-folder, not both";
        return false;
    }
    if (o->mapDrive != 0 && o->cdFolder.empty()) {
        *error = "--drive goes with --cd-folder";
        return false;
    }
    return true;
}
