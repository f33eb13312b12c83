// The command line of telvora-setup.
#pragma once

#include <string>
#include <vector>

struct SetupOptions {
    // Where the first CD is: a drive letter ("E"), or a folder to map as the
    // CD-ROM drive for the run. Neither: the CD-ROM drive the installer finds.
    char cdDrive = 0;
    std::string cdFolder;  // UTF-8 Unix path
    // The letter to map cdFolder on; 0 picks one.
    char mapDrive = 0;
    // The folder the course folder is made in, as given (UTF-8; Windows or
    // Unix path). Empty: the prefix's courses folder.
    std::string dest;
    // Media decision: "yes", "no", or empty to ask.
    std::string media;
    // Folders of the following CDs (CD 2, 3, ...), inserted at the
    // installer's prompt without asking the user.
    std::vector<std::string> nextCds;
    bool reinstall = false;
    // Make the course ready but do not run the installer.
    bool prepareOnly = false;
    // Leave the desktop's menu alone (no entry for the course).
    bool noMenuEntry = false;
    // The course id (UTF-8) to remove instead of installing; "" to install.
    std::string uninstall;
    // Remove without asking.
    bool yes = false;
    bool help = false;
};

// The usage text (UTF-8).
const char* SetupUsage();

// Parses args (without the program name). False with *error set on a bad
// command line; --help or -h stops the reading with help set.
bool ParseSetupArgs(const std::vector<std::string>& args, SetupOptions* options,
                    std::string* error);
