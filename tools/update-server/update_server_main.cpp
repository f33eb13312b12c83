#include "tools/update-server/update_server_main.h"

#include <filesystem>
#include <iostream>

#include "common/tool_options.h"
#include "platform/process/stop_signal.h"
#include "platform/text/text.h"
#include "tools/update-server/access_log.h"
#include "tools/update-server/http_server.h"
#include "tools/update-server/publish.h"
#include "tools/update-server/server_options.h"
#include "tools/update-server/update_server.h"
#include "tools/update-server/user_command.h"

namespace fs = std::filesystem;

namespace {

constexpr const char kName[] = "telvora-update-server";

int Fail(const std::string& utf8) {
    std::cerr << kName << ": " << utf8 << std::endl;
    return kExitRefused;
}

// utf8 as GBK; false when GBK cannot hold it exactly.
bool ToGbk(const std::string& utf8, std::string* gbk) {
    *gbk = text::Utf8ToGbk(utf8);
    return text::GbkToUtf8(*gbk) == utf8;
}

// telvora-pack beside this program, when it is built.
std::string PackTool() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "";
    const fs::path pack = self.parent_path() / "telvora-pack";
    return fs::is_regular_file(pack, ec) ? pack.string() : "";
}

int Serve(const CServerOptions& o) {
    // Before any thread exists (the password pool starts with the server
    // object), so that none of them takes the signal the default way.
    BlockStopSignals();
    std::error_code ec;
    if (!fs::is_directory(o.dir, ec))
        return Fail(o.dir + " is not a folder");
    CLogWriter notices(stderr);
    CLogWriter access(stdout);
    auto note = [&notices](const std::string& utf8) {
        notices.Line(std::string(kName) + ": " + utf8);
    };
    CUpdateServerOptions serverOptions;
    serverOptions.accelRedirect = o.accelRedirect;
    CUpdateServer server(o.dir, note, serverOptions);
    if (server.IsPublic())
        note("no " + CPackageStore(o.dir).UsersFile() +
             ": the list and the archives are served to anyone, without a password");

    CHttpServerOptions http;
    http.address = o.address;
    http.port = o.port;
    http.idleTimeoutSeconds = o.idleTimeoutSeconds;
    http.headTimeoutSeconds = o.headTimeoutSeconds;
    http.connectionLimit = o.connections;
    http.trustedProxy = o.proxy;
    CHttpServer listener;
    std::string error;
    if (!listener.Start(
            http, [&server](const CHttpRequest& request) { return server.Handle(request); },
            [&access](const CAccessRecord& record) { access.Line(FormatAccessLine(record)); }, note,
            &error))
        return Fail(error);
    access.Line("listening on " + listener.ListeningAddress());
    const int signal = WaitForStopSignal();
    note("stopping (signal " + std::to_string(signal) + ")");
    listener.Stop();
    return 0;
}

}  // namespace

int UpdateServerMain(const std::vector<std::string>& args) {
    CServerOptions o;
    std::string error;
    if (!ParseServerOptions(args, &o, &error)) {
        PrintUsageError(std::cerr, kName, error);
        return kExitUsage;
    }
    switch (o.command) {
        case EServerCommand::kHelp:
            std::cout << UpdateServerUsage();
            return 0;
        case EServerCommand::kServe:
            return Serve(o);
        case EServerCommand::kPublish: {
            CPublishRequest request;
            if (!ToGbk(o.course, &request.course))
                return Fail("publish refused: the course name \"" + o.course +
                            "\" is not UTF-8 text that GBK can hold");
            request.dir = o.dir;
            request.code = o.code;
            request.archive = o.archive;
            request.from = o.from;
            request.notes = o.notes;
            request.packTool = o.from.empty() ? "" : PackTool();
            return PublishPackage(request, std::cout, std::cerr);
        }
        case EServerCommand::kUnpublish:
        case EServerCommand::kList: {
            std::string course;
            if (!o.course.empty() && !ToGbk(o.course, &course))
                return Fail("the course name \"" + o.course +
                            "\" is not UTF-8 text that GBK can hold");
            return o.command == EServerCommand::kList
                       ? ListPackages(o.dir, course, std::cout, std::cerr)
                       : UnpublishPackage(o.dir, course, o.code, std::cout, std::cerr);
        }
        case EServerCommand::kUserAdd:
        case EServerCommand::kUserRemove: {
            std::string name;
            if (!ToGbk(o.user, &name))
                return Fail("user: the name \"" + o.user +
                            "\" is not UTF-8 text that GBK can hold");
            return o.command == EServerCommand::kUserAdd
                       ? AddUser(o.dir, name, std::cin, std::cout, std::cerr)
                       : RemoveUser(o.dir, name, std::cout, std::cerr);
        }
    }
    return kExitUsage;
}
