// What the files of the process service share among themselves and with
// their tests: the plan of what to run for a command line, the substitutes,
// and the process objects behind handles. Not for use outside
// platform/process.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process/process.h"

namespace process_detail {

// The argv / envp array of a spawn: pointers into strings, null-terminated.
std::vector<char*> Pointers(std::vector<std::string>& strings);

// ---- what to run (start_plan.cpp, substitutes.cpp) -------------------------

struct CStartPlan {
    std::string program;            // Unix path (UTF-8) of the file to run
    std::vector<std::string> argv;  // UTF-8; argv[0] is the program path
    bool substituted = false;
};

// Turns a command line (GBK) into the program and arguments to run.
// programFolders are where a program given by a bare name (a substitute's
// "telvora-extract", a command line's "notepad.exe") is looked for first,
// before the current folder and PATH: the caller's own module folders.
// False with the last error set when nothing can be run.
bool PlanStart(const char* applicationName, std::string_view commandLine,
               const std::vector<std::string>& programFolders, CStartPlan* plan);

// The substitute command (GBK) for a Windows program's file name, such as
// "iexplore.exe": the value named after it under
// HKLM\Software\Telvora\Substitutes, else the built-in default. Nothing when
// there is none, or when the value is blank (a default switched off).
std::optional<std::string> LookupSubstitute(const std::string& fileName);

// Builds the plan for a substitute command: %* is the arguments text as one
// argument, %@ the arguments split by the Windows rules, %0 the Unix path of
// the program it stands in for; without %* or %@, %@ is added at the end.
bool PlanSubstitute(const std::string& command, const std::string& replacedUnixPath,
                    std::string_view argsText, const std::vector<std::string>& programFolders,
                    CStartPlan* plan);

// An argument as a Linux program wants it: an absolute Windows path becomes
// the Unix path (case-insensitive lookup), anything else UTF-8.
std::string ArgumentForLinux(const std::string& gbk);

// The folders of the module that holds address: as it was named (links
// kept, so a course folder's link finds what lies beside it) and with links
// resolved (where the program's own build or installation lies).
std::vector<std::string> ModuleFolders(const void* address);

// The folders of PATH (the usual ones when it is unset).
std::vector<std::string> PathFolders();

// The show state handed to the program in TELVORA_SHOW.
std::string ShowStateName(const STARTUPINFO* startupInfo);

// ---- process objects (process_handles.cpp) ---------------------------------

struct ProcessState;

// Starts a program from a watcher thread of its own, which then waits for
// exactly its pid and records how it ended (so no ended child stays a
// zombie, whoever holds or closes its handles). spawn runs on that thread
// and returns 0 with the pid, or an errno value; the call returns once it
// has. Null (last error set) when no thread can be made or spawn failed.
std::shared_ptr<ProcessState> StartWatched(std::function<int(int* pid)> spawn);
int GetWatchedPid(const std::shared_ptr<ProcessState>& state);

HANDLE NewProcessHandle(const std::shared_ptr<ProcessState>& state);

// CreateProcess on behalf of the module holding caller (its folders are
// searched for bare program names first).
BOOL CreateProcessFrom(const void* caller, const char* applicationName, const char* commandLine,
                       DWORD creationFlags, const void* environment, const char* currentDirectory,
                       const STARTUPINFO* startupInfo, PROCESS_INFORMATION* processInformation);

}  // namespace process_detail
