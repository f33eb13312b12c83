#include "tools/setup/setup_options.h"

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

// Folder names go into answer files, one rule a line.
bool UsableFolderName(const std::string& s) {
    if (s.empty())
        return false;
    for (unsigned char c : s) {
        if (c < 0x20)
            return false;
    }
    return true;
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
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                *error = arg + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            o->help = true;
        } else if (arg == "--cd") {
            if (!value(&v))
                return false;
            if (!ParseDriveLetter(v, &o->cdDrive)) {
                *error = "--cd needs a drive letter such as E:";
                return false;
            }
        } else if (arg == "--drive") {
            if (!value(&v))
                return false;
            if (!ParseDriveLetter(v, &o->mapDrive) || o->mapDrive < 'D' || o->mapDrive > 'M') {
                *error = "--drive needs a letter from D: to M: (where the installer looks)";
                return false;
            }
        } else if (arg == "--cd-folder") {
            if (!value(&o->cdFolder))
                return false;
        } else if (arg == "--dest") {
            if (!value(&o->dest))
                return false;
        } else if (arg == "--media") {
            if (!value(&o->media))
                return false;
            if (o->media != "yes" && o->media != "no") {
                *error = "--media takes yes or no";
                return false;
            }
        } else if (arg == "--next-cd") {
            if (!value(&v))
                return false;
            if (!UsableFolderName(v)) {
                *error = "--next-cd: a folder name must not hold control characters";
                return false;
            }
            o->nextCds.push_back(v);
        } else if (arg == "--reinstall") {
            o->reinstall = true;
        } else if (arg == "--prepare-only") {
            o->prepareOnly = true;
        } else if (arg == "--no-menu-entry") {
            o->noMenuEntry = true;
        } else if (arg == "--uninstall") {
            if (!value(&o->uninstall))
                return false;
        } else if (arg == "--yes" || arg == "-y") {
            o->yes = true;
        } else {
            *error = "unknown argument " + arg;
            return false;
        }
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
    if (!o->cdFolder.empty() && !UsableFolderName(o->cdFolder)) {
        *error = "--cd-folder: a folder name must not hold control characters";
        return false;
    }
    return true;
}
