#include "tools/update-server/server_options.h"

#include "common/tool_options.h"
#include "tools/update-server/http_server.h"

namespace {

constexpr unsigned kMaxIdleTimeoutSeconds = 3600;
constexpr unsigned kMaxConnections = 100000;

// The line of a command: its DIR first, unknown words named with it.
CToolOptions& Command(CToolOptions& line, const std::string& name, CServerOptions* o,
                      EServerCommand command) {
    CToolOptions& words = line.Command(name, [o, command] { o->command = command; });
    words.UnknownOption(name + ": unknown argument \"{}\"")
        .ExtraArgument(name + ": unknown argument \"{}\"");
    words.Positional("DIR", &o->dir).NotEmpty().Missing(name + " needs the folder DIR first");
    return words;
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
    CToolOptions line;
    line.AttachedValues().UnknownOption("unknown command \"{}\"");
    std::vector<std::string> ignored;
    line.Command("help", [o] { o->command = EServerCommand::kHelp; }).Rest(&ignored);

    CToolOptions& serve = Command(line, "serve", o, EServerCommand::kServe);
    serve.Value("--listen", [o](const std::string& v) {
        std::string problem;
        ParseListenAddress(v, &o->address, &o->port, &problem);
        return problem;
    });
    const std::string seconds =
        " wants a number of seconds from 1 to " + std::to_string(kMaxIdleTimeoutSeconds);
    serve.Integer("--timeout", &o->idleTimeoutSeconds, 1, kMaxIdleTimeoutSeconds,
                  "--timeout" + seconds);
    serve.Integer("--head-timeout", &o->headTimeoutSeconds, 1, kMaxIdleTimeoutSeconds,
                  "--head-timeout" + seconds);
    serve.Integer("--connections", &o->connections, 1, kMaxConnections);
    serve.Value("--accel-redirect", [o](const std::string& v) {
        o->accelRedirect = v;
        return !v.empty() && v.front() == '/' && v.back() == '/'
                   ? ""
                   : "--accel-redirect wants a path that starts and ends with '/', such as "
                     "/.telvora-files/";
    });
    serve.Value("--proxy", [o](const std::string& v) {
        unsigned ignoredPort = 0;
        std::string problem;
        return ParseListenAddress(v + ":0", &o->proxy, &ignoredPort, &problem)
                   ? ""
                   : "--proxy wants the numeric address of the proxy, such as 127.0.0.1";
    });

    bool haveCourse = false;
    CToolOptions& publish = Command(line, "publish", o, EServerCommand::kPublish);
    publish.Value("--course", [o, &haveCourse](const std::string& v) {
        o->course = v;
        haveCourse = true;
        return "";
    });
    publish.Value("--code", &o->code);
    publish.Value("--archive", &o->archive);
    publish.Value("--from", &o->from);
    publish.Value("--notes", &o->notes);

    const std::string unpublishUsage = "unpublish wants: unpublish DIR FILEID CODE";
    CToolOptions& unpublish = Command(line, "unpublish", o, EServerCommand::kUnpublish);
    unpublish.UnknownOption(unpublishUsage).ExtraArgument(unpublishUsage);
    unpublish.Positional("FILEID", &o->course).Missing(unpublishUsage);
    unpublish.Positional("CODE", &o->code).Missing(unpublishUsage);

    CToolOptions& list = Command(line, "list", o, EServerCommand::kList);
    list.UnknownOption("list wants: list DIR [FILEID]")
        .ExtraArgument("list wants: list DIR [FILEID]");
    list.Positional("FILEID", &o->course).Optional();

    const std::string userUsage = "user wants: user DIR add NAME, or user DIR remove NAME";
    CToolOptions& user = Command(line, "user", o, EServerCommand::kUserAdd);
    user.UnknownOption(userUsage).ExtraArgument(userUsage);
    user.Positional("ACTION",
                    [o, userUsage](const std::string& v) {
                        if (v != "add" && v != "remove")
                            return userUsage;
                        o->command =
                            v == "add" ? EServerCommand::kUserAdd : EServerCommand::kUserRemove;
                        return std::string();
                    })
        .Missing(userUsage);
    user.Positional("NAME", &o->user).Missing(userUsage);

    switch (line.Parse(args, error)) {
        case EToolParse::kUsageError:
            return false;
        case EToolParse::kHelp:
            o->command = EServerCommand::kHelp;
            return true;
        case EToolParse::kRun:
            break;
    }
    if (o->command == EServerCommand::kPublish) {
        if (!haveCourse || o->code.empty()) {
            *error = "publish needs --course FILEID and --code YYMMDDNN";
            return false;
        }
        if (o->archive.empty() == o->from.empty()) {
            *error = "publish needs either --archive FILE.rar or --from FOLDER (one of them)";
            return false;
        }
    }
    return true;
}
