// A program for the process tests: starts the command line given as its
// first argument (UTF-8) with CreateProcess, shown normally, closes the
// handles without waiting and ends at once. Exit status 0 when the program
// was started, 1 when not (the last error on stderr), 2 for a bad call.
#include <cstdio>
#include <string>

#include "platform/process/process.h"
#include "platform/text/text.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const std::string commandLine = text::Utf8ToGbk(argv[1]);
    STARTUPINFO si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcess(nullptr, commandLine.c_str(), 0, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "process_starter: error %u\n", static_cast<unsigned>(GetLastError()));
        return 1;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
