// Starting programs. RunProgramAndWait runs a Linux program by its Unix path
// (the setup step and the end-to-end tests run the system's programs this
// way). CreateProcess and its companions start a program from a Windows
// command line, as the system starts the course's browser, the course's own
// programs and the RAR extractor; a Windows program that has no Linux build
// is replaced by its substitute (docs/processes.md).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/error/error.h"
#include "platform/thread/thread.h"  // INFINITE, WAIT_OBJECT_0, WAIT_FAILED, STILL_ACTIVE

// A change to the started program's environment: the variable is set to
// value, or removed when remove is set.
struct EnvChange {
    std::string name;
    std::string value;
    bool remove = false;
};

// Runs the program file unixPath (UTF-8) with argv[0] = unixPath followed by
// args, and waits for it. Returns its exit status (0..255), 128 + the signal
// number when a signal ended it, or -1 (last error set) when it could not be
// started. The program gets no descriptor beyond 0, 1 and 2; with
// quietOutput its standard output goes to /dev/null (its errors still reach
// ours).
int RunProgramAndWait(const std::string& unixPath, const std::vector<std::string>& args,
                      const std::vector<EnvChange>& envChanges = {}, bool quietOutput = false);

// ---- Win32-style processes ------------------------------------------------

// A process or thread handle: an opaque number that stays valid until
// CloseHandle. A closed or unknown handle fails with ERROR_INVALID_HANDLE.
struct ProcessHandleTag;
using HANDLE = ProcessHandleTag*;

enum : DWORD {
    STARTF_USESHOWWINDOW = 0x00000001,
    // Creation flags. Priority classes are accepted and change nothing;
    // CREATE_SUSPENDED is not supported (ERROR_NOT_SUPPORTED).
    CREATE_SUSPENDED = 0x00000004,
    NORMAL_PRIORITY_CLASS = 0x00000020,
    // The environment block is UTF-16 (see GetEnvironmentStringsW).
    CREATE_UNICODE_ENVIRONMENT = 0x00000400,
    CREATE_NO_WINDOW = 0x08000000,
    // This system's own: the program is one its starter waits for, and it
    // ends when the starter does, however the starter ends (killed
    // included). It stays in the starter's process group (a kill of the
    // group reaches it too) and gets SIGKILL when the starting process
    // dies. Without it a program gets a session of its own and lives on.
    CREATE_ENDS_WITH_STARTER = 0x80000000,
};

// The start-up request. wShowWindow takes the SW_ values of platform/ui/ui.h
// (SW_HIDE, SW_SHOWNORMAL, SW_SHOWMAXIMIZED, ...) and counts only with
// STARTF_USESHOWWINDOW in dwFlags. Plain data, as on the desktop system:
// clear it (= {} or memset) before filling it in.
struct STARTUPINFO {
    DWORD cb;
    DWORD dwFlags;
    WORD wShowWindow;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;  // the program's main thread: ends with the process
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// Starts a program from a Windows command line (GBK). With applicationName
// null (the system's way) the program is the command line's first token:
// quoted, or unquoted and tried at each blank, shortest first; a name
// without an extension is tried as it is and with ".exe". With
// applicationName given, that file is the program and the command line's
// first token is skipped. The arguments are split by the C runtime rules;
// absolute Windows paths among them are handed on as Unix paths, the rest
// as UTF-8. A missing program, or one that is not a Linux executable (a PE
// file beginning with "MZ", or without execute permission), is replaced by
// its substitute when it has one. A bare program name (a command line's
// "tool.exe", a substitute's "telvora-extract") is looked for beside the
// calling module first (docs/processes.md).
//
// The program gets descriptors 0, 1 and 2 only (inheritHandles changes
// nothing: no handle of this system is inheritable), its own session (it
// lives on when the caller ends; see CREATE_ENDS_WITH_STARTER), the show state in TELVORA_SHOW
// (normal, maximized, minimized or hidden; a hidden program reads its input from /dev/null), the
// caller's environment or the given block ("NAME=VALUE\0"
// ... "\0", GBK, or UTF-16 with CREATE_UNICODE_ENVIRONMENT), and the caller's current folder or
// currentDirectory (a Windows path). Ended programs are reaped whether or not anyone waits, so none
// is left behind as a zombie; close both handles when done.
//
// Fails with FALSE and the last error: ERROR_FILE_NOT_FOUND (no such program
// and no substitute), ERROR_BAD_EXE_FORMAT (a Windows program without a
// substitute), ERROR_ACCESS_DENIED (not executable), ERROR_DIRECTORY (bad
// currentDirectory), ERROR_INVALID_PARAMETER (no command line),
// ERROR_FILENAME_EXCED_RANGE (a command line over 32767 bytes).
BOOL CreateProcess(const char* applicationName, const char* commandLine, BOOL inheritHandles,
                   DWORD creationFlags, const void* environment, const char* currentDirectory,
                   const STARTUPINFO* startupInfo, PROCESS_INFORMATION* processInformation);

// This process's environment as a block for CreateProcess with
// CREATE_UNICODE_ENVIRONMENT: "NAME=VALUE" entries in UTF-16, each ended by
// a zero, and one more zero at the end. A caller adds its own entries before
// that last zero to hand a program its environment with them.
std::u16string GetEnvironmentStringsW();

// WAIT_OBJECT_0 once the process has ended, WAIT_TIMEOUT after timeoutMs
// (INFINITE waits for ever), WAIT_FAILED for a bad handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
// STILL_ACTIVE while the process runs; then its exit status (0..255), or
// 128 + the signal number when a signal ended it.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
// The Linux process id (0 for a bad handle).
DWORD GetProcessId(HANDLE process);
BOOL CloseHandle(HANDLE handle);

// The system's common case: start a command line with the given show state
// (an SW_ value) and let it live on; both handles are closed at once.
BOOL StartProgram(const char* commandLine, int showState);
