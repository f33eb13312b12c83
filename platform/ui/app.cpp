// The program entry: renderer choice, observers, the program's main on the
// right thread, the exit event and the process status.
#include "platform/ui/app.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "platform/thread/thread.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/headless/transcript.h"
#include "platform/ui/ui_internal.h"
#ifdef TELVORA_HAVE_QT
#include "platform/ui/qt/qt_main.h"
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
        code = ui::qt::RunWithQt(argc, argv, qtWindows, snapshots, body);
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
