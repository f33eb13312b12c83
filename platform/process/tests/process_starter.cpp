// A program for the process tests: starts the command line given as its last
// argument (UTF-8) with CreateProcess, shown normally. Plainly it closes the
// handles without waiting and ends at once; with --ends-with-starter it
// starts the program as one it waits for, and waits. Exit status 0 when the
// program was started, 1 when not (the last error on stderr), 2 for a bad
// call.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/process/process.h"
#include "platform/text/text.h"

int main(int argc, char** argv) {
    const bool tied = argc == 3 && std::strcmp(argv[1], "--ends-with-starter") == 0;
    if (argc != 2 && !tied)
        return 2;
    const std::string commandLine = text::Utf8ToGbk(argv[argc - 1]);
    STARTUPINFO si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcess(nullptr, commandLine.c_str(), 0, tied ? DWORD{CREATE_ENDS_WITH_STARTER} : 0u,
                       nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "process_starter: error %u\n", static_cast<unsigned>(GetLastError()));
        return 1;
    }
    if (tied)
        WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
