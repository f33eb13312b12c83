// telvora-update-server: the update server for publishers, the demo and the
// tests. See update_server_main.h.
#include <string>
#include <vector>

#include "tools/update-server/update_server_main.h"

int main(int argc, char** argv) {
    return UpdateServerMain(std::vector<std::string>(argv + 1, argv + argc));
}
