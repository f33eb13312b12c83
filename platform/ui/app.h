// The program entry. A program defines its application class and names it
// with TELVORA_PROGRAM; the platform's main picks the renderer
// (TELVORA_UI=qt|headless; without it qt when DISPLAY or WAYLAND_DISPLAY is
// set, else headless), adds the transcript (TELVORA_TRANSCRIPT) and
// snapshot (TELVORA_SNAPSHOTS) observers, and runs the program: on the main
// thread when no GUI thread is needed, else on a second thread while the
// main thread runs the Qt event loop.
//
// The program's whole exit code is written to the transcript; the process
// exit status is its low 8 bits.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/ui.h"

// The framework's application object.
class CWinApp {
public:
    virtual ~CWinApp() = default;
    // Return FALSE to end the program without a message loop.
    virtual BOOL InitInstance() { return TRUE; }
    // The message loop; returns the quit code.
    virtual int Run();
    // The exit code: the code of the quit request that ended (or is pending
    // on) the main thread, 0 when there is none.
    virtual int ExitInstance();
};

// Runs programMain as the program (see above) and returns the process exit
// status. programName is ASCII ("install").
int RunProgram(int argc, char** argv, const std::string& programName,
               const std::function<int()>& programMain);

// Runs an application object: InitInstance, then Run or ExitInstance. A
// thread end (ExitThread) on the main thread gives its code.
int RunApp(CWinApp& app);

// usage: what "PROGRAM --help" (or -h) prints; a program of the system
// takes no other command-line arguments.
// True for "PROGRAM --help" or "PROGRAM -h".
bool IsHelpRequest(int argc, char** argv);
// Prints usage on standard output; returns 0.
int PrintUsage(const char* usage);

#define TELVORA_PROGRAM(AppClass, name, usage)   \
    int main(int argc, char** argv) {            \
        if (IsHelpRequest(argc, argv))           \
            return PrintUsage(usage);            \
        return RunProgram(argc, argv, name, [] { \
            AppClass app;                        \
            return RunApp(app);                  \
        });                                      \
    }
