#include "platform/ui/qt/qt_main.h"

#include <cxxabi.h>

#include <QApplication>
#include <QIcon>
#include <QMetaObject>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <thread>

#include "platform/ui/qt/images.h"
#include "platform/ui/qt/qt_renderer.h"
#include "platform/ui/qt/snapshot.h"
#include "platform/ui/renderer.h"

namespace ui::qt {

namespace {

enum : int { kIconProgram = 128 };
// The result when windows were asked for and there is no display.
constexpr int kNoDisplayCode = 1;

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A platform named by the user is taken as able to show windows.
bool HasDisplay() {
    return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

// Ends the GUI's event loop once the work queued before it is done, however
// the program's thread ends.
class CQuitWhenDone {
public:
    ~CQuitWhenDone() {
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
};

}  // namespace

int RunWithQt(int argc, char** argv, bool showWindows, const std::string& snapshotDir,
              const std::function<int()>& programMain) {
    if (!showWindows) {
        // Snapshots alone need no display, whatever platform the
        // environment names for other Qt programs.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else if (!HasDisplay()) {
        // Qt would abort the process; a program nobody can see would wait
        // for ever. Neither: say why and end.
        std::fprintf(stderr,
                     "telvora: cannot show windows: DISPLAY and WAYLAND_DISPLAY are not set "
                     "(set TELVORA_UI=headless to run without windows)\n");
        return kNoDisplayCode;
    }
    QApplication app(argc, argv);
    // Windows come and go as the program decides; only its end ends the loop.
    app.setQuitOnLastWindowClosed(false);

    RegisterDefaultImages();
    const QPixmap icon = TemplateImage(kIconProgram);
    if (!icon.isNull()) {
        QApplication::setWindowIcon(QIcon(icon));
    }

    std::shared_ptr<CQtRenderer> renderer;
    std::shared_ptr<CSnapshotObserver> snapshots;
    if (showWindows) {
        renderer = std::make_shared<CQtRenderer>();
        ui::SetPrimaryRenderer(renderer);
    }
    if (!snapshotDir.empty()) {
        snapshots = std::make_shared<CSnapshotObserver>(snapshotDir);
        ui::AddObserver(snapshots);
    }

    int result = 0;
    std::exception_ptr failure;
    std::thread program([&] {
        CQuitWhenDone quit;
        try {
            result = programMain();
        } catch (abi::__forced_unwind&) {
            throw;  // the thread is being ended: let it end
        } catch (...) {
            failure = std::current_exception();
        }
    });
    QApplication::exec();
    program.join();

    // The core may still call the renderers (the exit notice, threads the
    // program left running): from now on they do nothing.
    if (renderer) {
        renderer->Shutdown();
    }
    if (snapshots) {
        snapshots->Shutdown();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return result;
}

}  // namespace ui::qt
