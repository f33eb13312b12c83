// telvora-setup: the course's setup step. See setup_main.h.
#include <string>
#include <vector>

#include "platform/ui/app.h"
#include "tools/setup/setup_main.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunProgram(argc, argv, "telvora-setup", [&args] { return SetupMain(args); });
}
