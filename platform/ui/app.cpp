// The program entry: renderer choice, observers, the program's main on the
// right thread, the exit event and the process status.
#include "platform/ui/app.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/headless/transcript.h"
#include "platform/ui/ui_internal.h"
#ifdef TELVORA_HAVE_QT
#include <dlfcn.h>
#endif

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// TELVORA_UI=qt|headless; otherwise Qt when a display is there.
bool WantQtWindows() {
    std::string choice = text::AsciiLower(Env("TELVORA_UI"));
    if (choice == "qt") {
        return true;
    }
    if (choice == "headless") {
        return false;
    }
    if (!choice.empty()) {
        std::fprintf(stderr,
                     "telvora: TELVORA_UI=%s is neither qt nor headless; choosing by the display\n",
                     choice.c_str());
    }
    return !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty();
}

// The program's main with the ends a program can take: a return, ExitThread,
// or an error nobody caught (reported, never a crash).
int RunGuarded(const std::string& programName, const std::function<int()>& programMain) {
    try {
        return programMain();
    } catch (const CThreadExit& e) {
        return static_cast<int>(e.code);
    } catch (const CFrameworkError& e) {
        std::fprintf(stderr, "%s: unexpected error: %s\n", programName.c_str(), e.what());
        return static_cast<int>(e.Code());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: unexpected error: %s\n", programName.c_str(), e.what());
        return static_cast<int>(ERROR_INVALID_FUNCTION);
    }
}

#ifdef TELVORA_HAVE_QT
using QtEntry = int (*)(int, char**, int, const char*, const std::function<int()>*);

// The Qt side lives in libtelvora-qt.so beside libtelvora-platform.so and is
// loaded only when a run needs it. Null (with a message) when it can't be.
QtEntry LoadQtEntry(const std::string& programName) {
    Dl_info info{};
    std::string dir;
    if (dladdr(reinterpret_cast<void*>(&SetAppName), &info) && info.dli_fname) {
        dir = info.dli_fname;
        std::size_t slash = dir.rfind('/');
        dir = slash == std::string::npos ? "" : dir.substr(0, slash + 1);
    }
    std::string path = dir + "libtelvora-qt.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "%s: Qt windows are not available (%s)\n", programName.c_str(),
                     dlerror());
        return nullptr;
    }
    auto entry = reinterpret_cast<QtEntry>(dlsym(module, "TelvoraRunWithQt"));
    if (!entry) {
        std::fprintf(stderr, "%s: %s has no Qt entry\n", programName.c_str(), path.c_str());
    }
    return entry;  // the module stays loaded for the life of the process
}
#endif

}  // namespace

int CWinApp::Run() {
    RunMessageLoop();
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    int code = 0;
    if (IsQuitPending(&code)) {
        return code;
    }
    return ui::detail::LastQuitCode();
}

int RunApp(CWinApp& app) {
    try {
        if (!app.InitInstance()) {
            return app.ExitInstance();
        }
        return app.Run();
    } catch (const CThreadExit& e) {
        return static_cast<int>(e.code);
    }
}

bool IsHelpRequest(int argc, char** argv) {
    return argc == 2 && argv[1] != nullptr &&
           (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
}

int PrintUsage(const char* usage) {
    std::fputs(usage, stdout);
    return 0;
}

int RunProgram(int argc, char** argv, const std::string& programName,
               const std::function<int()>& programMain) {
    if (argc > 0 && argv && argv[0]) {
        SetProgramPath(argv[0]);
    }
    SetAppName(programName);

    bool qtWindows = WantQtWindows();
    std::string snapshots = Env("TELVORA_SNAPSHOTS");
#ifndef TELVORA_HAVE_QT
    if (qtWindows || !snapshots.empty()) {
        std::fprintf(stderr, "%s: built without Qt; running headless%s\n", programName.c_str(),
                     snapshots.empty() ? "" : " and without snapshots");
    }
    qtWindows = false;
    snapshots.clear();
#endif
#ifdef TELVORA_HAVE_QT
    QtEntry qtEntry = nullptr;
    if (qtWindows || !snapshots.empty()) {
        qtEntry = LoadQtEntry(programName);
        if (!qtEntry) {
            std::fprintf(stderr, "%s: running headless%s\n", programName.c_str(),
                         snapshots.empty() ? "" : " and without snapshots");
            qtWindows = false;
            snapshots.clear();
        }
    }
#endif
    if (auto transcript = ui::headless::CreateTranscriptFromEnvironment()) {
        ui::AddObserver(std::move(transcript));
    }
    if (!qtWindows) {
        ui::SetPrimaryRenderer(ui::headless::CreateHeadlessRendererFromEnvironment());
    }

    // The exit event is written on the program's own thread, before the GUI
    // (if any) goes away.
    bool ran = false;
    auto body = [&]() -> int {
        ran = true;
        int code = RunGuarded(programName, programMain);
        ui::detail::NotifyProgramExited(programName, code);
        return code;
    };
    int code = 0;
#ifdef TELVORA_HAVE_QT
    if (qtWindows || !snapshots.empty()) {
        std::function<int()> main = body;
        code = qtEntry(argc, argv, qtWindows ? 1 : 0, snapshots.c_str(), &main);
        if (!ran) {
            // The GUI could not start; the transcript still tells how it ended.
            ui::detail::NotifyProgramExited(programName, code);
        }
    } else {
        code = body();
    }
#else
    code = body();
#endif
    ui::ClearRenderers();
    return code & 0xFF;
}
