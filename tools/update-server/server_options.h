// The command line of telvora-update-server.
#pragma once

#include <string>
#include <vector>

enum class EServerCommand { kHelp, kServe, kPublish, kUnpublish, kList, kUserAdd, kUserRemove };

struct CServerOptions {
    EServerCommand command = EServerCommand::kHelp;
    std::string dir;  // the served folder, UTF-8
    // serve
    std::string address = "127.0.0.1";
    unsigned port = 8080;
    unsigned idleTimeoutSeconds = 30;
    unsigned headTimeoutSeconds = 10;
    unsigned connections = 1024;
    std::string accelRedirect;  // nginx's internal location, "/.telvora-files/"
    std::string proxy;          // the address of the proxy in front
    // publish, unpublish, list (all UTF-8, as given)
    std::string course;
    std::string code;
    std::string archive;
    std::string from;
    std::string notes;
    // user
    std::string user;
};

// The usage text (UTF-8).
const char* UpdateServerUsage();

// Parses the arguments (UTF-8, without the program name). False with *error
// (UTF-8) for a bad command line. Options take their value as the next
// argument or after '=' (--listen=127.0.0.1:0). The values themselves
// (course name, code, user name) are the commands' to check.
bool ParseServerOptions(const std::vector<std::string>& args, CServerOptions* options,
                        std::string* error);
