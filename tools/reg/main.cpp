// telvora-reg: the registry from the shell, in the syntax of Windows' reg.exe.
// Arguments and output are UTF-8; the registry keeps GBK.
#include <iostream>
#include <string>
#include <vector>

#include "platform/text/text.h"
#include "tools/reg/reg_args.h"
#include "tools/reg/reg_commands.h"

namespace {

constexpr const char* kUsage =
    "usage: telvora-reg query  KEY [/ve | /v NAME] [/s]\n"
    "       telvora-reg add    KEY [/ve | /v NAME] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]\n"
    "       telvora-reg delete KEY [/ve | /v NAME] [/f]\n"
    "\n"
    "  KEY   ROOT\\SubKey, ROOT one of HKCU, HKLM, HKCR (or HKEY_CURRENT_USER,\n"
    "        HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT)\n"
    "  /v    the value NAME            /ve  the default (unnamed) value\n"
    "  /s    query the key and everything below it\n"
    "  /t    value type (REG_SZ unless given)\n"
    "  /d    value data; REG_DWORD takes decimal or 0x hexadecimal\n"
    "  /f    overwrite or delete without asking\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(text::Utf8ToGbk(argv[i]));
    if (args.size() == 1 &&
        (args[0] == "/?" || args[0] == "-?" || args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    std::string error;
    const std::optional<CRegArgs> parsed = ParseRegArgs(args, &error);
    if (!parsed) {
        std::cerr << error << "\nType \"telvora-reg /?\" for usage.\n";
        return 1;
    }
    const int status = RunRegCommand(*parsed, std::cout, std::cerr, std::cin);
    std::cout.flush();
    return std::cout ? status : 1;
}
