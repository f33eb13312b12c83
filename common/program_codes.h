// Codes and ids that more than one program (or the setup step) relies on:
// the installer's quit and exit codes, the dialog the setup step answers,
// and the update control's identity, which the installer writes into the
// course pages and the launcher and the setup step use.
#pragma once

// The installer's quit requests, dialog results and thread exit codes. A
// program's exit status is its quit code's low 8 bits (1011 exits as 243).
enum : int {
    kQuitNoFlagFile = 1004,   // media decision file missing, or an error in the main dialog's start
    kEndProgress = 1008,      // progress dialog's end; thread end when setup.ini is missing
    kQuitSetupError = 1009,   // registry record or setup.ini unusable
    kQuitMediaCopied = 1011,  // progress dialog ended, media copied
    kQuitMediaSkipped = 1012,  // progress dialog ended, media skipped
    // The installation of this CD did not complete: files could not be
    // copied, or the CD counter could not be advanced.
    // The user has been told; running the installer again repeats the CD.
    kQuitInstallFailed = 1013,
    // Another installer is installing the same course; nothing was touched.
    kQuitInstallRunning = 1014,
    kWorkerExit = 1030,  // every other end of the worker
};

// The exit status a whole quit code leaves on Linux.
constexpr int ExitStatusOfCode(int code) {
    return code & 0xFF;
}

// The installer's dialog that asks for the next CD.
constexpr int kCdPromptDialogId = 138;

// The update control: class id (as the registry and the object tags write
// it, without braces here) and ProgID.
constexpr char kUpdateControlClsid[] = "742FCBC2-1DA1-40C9-B8CE-7AE456142AD9";
constexpr char kUpdateControlProgId[] = "CORVANE.CorvaneCtrl.1";

// What the installer announces to the program that started it when its CD
// prompt is up (see platform/process/announce.h).
constexpr char kCdPromptAnnouncement[] = "cd-prompt";
// ... and its progress through the CD, whenever the whole CD's percentage
// changes: "progress PERCENT COPIED TOTAL" (files).
constexpr char kProgressAnnouncement[] = "progress";

// Set to "1" in the environment of the course's extractor when the archive
// arrived with its announced length whole: a RAR archive without an
// end-of-archive block (as older archivers wrote them) is then accepted;
// otherwise such an archive may have been cut short and is refused.
constexpr char kArchiveLengthKnownVariable[] = "TELVORA_ARCHIVE_LENGTH_KNOWN";
