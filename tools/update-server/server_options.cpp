#include "tools/update-server/server_options.h"

#include "platform/text/number.h"
#include "tools/update-server/http_server.h"

namespace {

constexpr unsigned kMaxIdleTimeoutSeconds = 3600;
constexpr unsigned kMaxConnections = 100000;

// A whole number from 1 to max.
bool TakeCount(const std::string& value, unsigned max, unsigned* out) {
    const std::optional<std::int64_t> n = text::ParseDecimal(value, 1, max);
    if (n)
        *out = static_cast<unsigned>(*n);
    return n.has_value();
}

// name's value: the next argument, or the text after '='.
bool TakeValue(const std::vector<std::string>& args, std::size_t* i, const std::string& name,
               std::string* value, std::string* error) {
    const std::string& arg = args[*i];
    if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
        arg[name.size()] == '=') {
        *value = arg.substr(name.size() + 1);
        return true;
    }
    if (*i + 1 >= args.size()) {
        *error = name + " needs a value";
        return false;
    }
    *value = args[++*i];
    return true;
}

bool IsOption(const std::string& arg, const std::string& name) {
    return arg == name || (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
                           arg[name.size()] == '=');
}

bool ParseServe(const std::vector<std::string>& args, CServerOptions* o, std::string* error) {
    for (std::size_t i = 2; i < args.size(); ++i) {
        std::string value;
        if (IsOption(args[i], "--listen")) {
            if (!TakeValue(args, &i, "--listen", &value, error) ||
                !ParseListenAddress(value, &o->address, &o->port, error))
                return false;
        } else if (IsOption(args[i], "--timeout")) {
            if (!TakeValue(args, &i, "--timeout", &value, error))
                return false;
            if (!TakeCount(value, kMaxIdleTimeoutSeconds, &o->idleTimeoutSeconds)) {
                *error = "--timeout wants a number of seconds from 1 to " +
                         std::to_string(kMaxIdleTimeoutSeconds);
                return false;
            }
        } else if (IsOption(args[i], "--head-timeout")) {
            if (!TakeValue(args, &i, "--head-timeout", &value, error))
                return false;
            if (!TakeCount(value, kMaxIdleTimeoutSeconds, &o->headTimeoutSeconds)) {
                *error = "--head-timeout wants a number of seconds from 1 to " +
                         std::to_string(kMaxIdleTimeoutSeconds);
                return false;
            }
        } else if (IsOption(args[i], "--connections")) {
            if (!TakeValue(args, &i, "--connections", &value, error))
                return false;
            if (!TakeCount(value, kMaxConnections, &o->connections)) {
                *error =
                    "--connections wants a number from 1 to " + std::to_string(kMaxConnections);
                return false;
            }
        } else if (IsOption(args[i], "--accel-redirect")) {
            if (!TakeValue(args, &i, "--accel-redirect", &o->accelRedirect, error))
                return false;
            if (o->accelRedirect.empty() || o->accelRedirect.front() != '/' ||
                o->accelRedirect.back() != '/') {
                *error =
                    "--accel-redirect wants a path that starts and ends with '/', such as "
                    "/.telvora-files/";
                return false;
            }
        } else if (IsOption(args[i], "--proxy")) {
            if (!TakeValue(args, &i, "--proxy", &value, error))
                return false;
            unsigned ignored = 0;
            if (!ParseListenAddress(value + ":0", &o->proxy, &ignored, error)) {
                *error = "--proxy wants the numeric address of the proxy, such as 127.0.0.1";
                return false;
            }
        } else {
            *error = "serve: unknown argument \"" + args[i] + "\"";
            return false;
        }
    }
    return true;
}

bool ParsePublish(const std::vector<std::string>& args, CServerOptions* o, std::string* error) {
    bool haveCourse = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        struct Field {
            const char* name;
            std::string* target;
        };
        const Field fields[] = {{"--course", &o->course},
                                {"--code", &o->code},
                                {"--archive", &o->archive},
                                {"--from", &o->from},
                                {"--notes", &o->notes}};
        bool matched = false;
        for (const Field& f : fields) {
            if (!IsOption(args[i], f.name))
                continue;
            if (!TakeValue(args, &i, f.name, f.target, error))
                return false;
            if (f.target == &o->course)
                haveCourse = true;
            matched = true;
            break;
        }
        if (!matched) {
            *error = "publish: unknown argument \"" + args[i] + "\"";
            return false;
        }
    }
    if (!haveCourse || o->code.empty()) {
        *error = "publish needs --course FILEID and --code YYMMDDNN";
        return false;
    }
    if (o->archive.empty() == o->from.empty()) {
        *error = "publish needs either --archive FILE.rar or --from FOLDER (one of them)";
        return false;
    }
    return true;
}

}  // namespace

const char* UpdateServerUsage() {
    return "usage: telvora-update-server serve DIR [--listen ADDR:PORT] [--timeout SECONDS]\n"
           "                             [--head-timeout SECONDS] [--connections N]\n"
           "                             [--accel-redirect PATH] [--proxy ADDRESS]\n"
           "       telvora-update-server publish DIR --course FILEID --code YYMMDDNN\n"
           "                             (--archive FILE.rar | --from FOLDER) [--notes PAGE.htm]\n"
           "       telvora-update-server unpublish DIR FILEID CODE\n"
           "       telvora-update-server list DIR [FILEID]\n"
           "       telvora-update-server user DIR add NAME      (password: one line on stdin)\n"
           "       telvora-update-server user DIR remove NAME\n"
           "\n"
           "serve     answers the update control from DIR: /rdcenter/newweb/sql.asp (the list of\n"
           "          newer packages), the package archives and the explanation pages.\n"
           "          --listen  address and port (default 127.0.0.1:8080; port 0 takes a free "
           "one;\n"
           "                    [::1]:8080 for IPv6). The line \"listening on ADDR:PORT\" goes to\n"
           "                    standard output, then one line per request (combined log\n"
           "                    format); notices go to standard error.\n"
           "          --timeout seconds a connection may stay idle (default 30).\n"
           "          --head-timeout  seconds a request's line and headers may take (default 10).\n"
           "          --connections   connections served at once (default 1024); more get 503.\n"
           "          --accel-redirect  behind nginx: the path of its internal location of DIR;\n"
           "                    archives and pages are then named in X-Accel-Redirect for\n"
           "                    nginx to send.\n"
           "          --proxy   the address of the proxy in front, whose X-Real-IP names the\n"
           "                    client.\n"
           "          SIGTERM or SIGINT stops it (exit status 0).\n"
           "publish   adds a package to course FILEID (the course's folder name): the archive\n"
           "          (a RAR archive; --from packs FOLDER with telvora-pack when that is built),\n"
           "          and PAGE.htm (GBK HTML) as its explanation page (default: a short page).\n"
           "          The code must be eight digits and newer than the course's last package.\n"
           "unpublish withdraws package CODE of course FILEID; its code is never used again.\n"
           "list      shows the published packages of every course, or of FILEID.\n"
           "user      adds an account (or changes its password) or removes one. Without\n"
           "          DIR/users.txt everything is served to anyone; with it, the list and the\n"
           "          archives need a matching user name and password (HTTP Basic).\n"
           "\n"
           "DIR holds users.txt (salted password hashes, never passwords) and\n"
           "courses/FILEID/index.txt (the published packages: CODE SIZE), courses/FILEID/CODE.rar\n"
           "and courses/FILEID/CODE.htm.\n"
           "\n"
           "Exit status: 0 done; 1 refused or failed (a bad code, course name or archive, a code\n"
           "not newer than the last, a server that cannot listen); 2 a bad command line.\n";
}

bool ParseServerOptions(const std::vector<std::string>& args, CServerOptions* o,
                        std::string* error) {
    *o = CServerOptions();
    if (args.empty()) {
        *error = "no command given";
        return false;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        o->command = EServerCommand::kHelp;
        return true;
    }
    if (command != "serve" && command != "publish" && command != "user" && command != "unpublish" &&
        command != "list") {
        *error = "unknown command \"" + command + "\"";
        return false;
    }
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            o->command = EServerCommand::kHelp;
            return true;
        }
    }
    if (args.size() < 2 || args[1].empty() || args[1][0] == '-') {
        *error = command + " needs the folder DIR first";
        return false;
    }
    o->dir = args[1];
    if (command == "serve") {
        o->command = EServerCommand::kServe;
        return ParseServe(args, o, error);
    }
    if (command == "publish") {
        o->command = EServerCommand::kPublish;
        return ParsePublish(args, o, error);
    }
    if (command == "unpublish") {
        if (args.size() != 4) {
            *error = "unpublish wants: unpublish DIR FILEID CODE";
            return false;
        }
        o->command = EServerCommand::kUnpublish;
        o->course = args[2];
        o->code = args[3];
        return true;
    }
    if (command == "list") {
        if (args.size() > 3) {
            *error = "list wants: list DIR [FILEID]";
            return false;
        }
        o->command = EServerCommand::kList;
        o->course = args.size() == 3 ? args[2] : "";
        return true;
    }
    if (args.size() != 4 || (args[2] != "add" && args[2] != "remove")) {
        *error = "user wants: user DIR add NAME, or user DIR remove NAME";
        return false;
    }
    o->command = args[2] == "add" ? EServerCommand::kUserAdd : EServerCommand::kUserRemove;
    o->user = args[3];
    return true;
}
