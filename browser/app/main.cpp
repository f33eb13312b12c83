// telvora-browser PAGE: the course browser, the stand-in for the course's own
// browser program. PAGE is a page of an installed course (a path, possibly
// with a ?query); the course's folder is served under the browser's own
// scheme, its VBScript runs translated, and its controls run in the
// automation host (telvora-ocx host).
#include <unistd.h>

#include <QApplication>
#include <QFileInfo>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <cstdio>
#include <cstring>

#include "browser/app/automation.h"
#include "browser/app/browser_window.h"
#include "browser/app/control_host.h"
#include "browser/app/course_files.h"
#include "browser/app/course_scheme.h"

namespace {

constexpr const char* kUsage =
    "usage: telvora-browser PAGE\n"
    "\n"
    "Opens PAGE, a page of an installed course (a path, possibly followed by\n"
    "?QUERY), in the course browser: the course's folder (the nearest folder\n"
    "holding setup.ini) is served as one site, its VBScript runs, its update\n"
    "control runs in telvora-ocx host, and media files go to the course's\n"
    "player (wmplayer.exe's substitute). TELVORA_BROWSER_SCRIPT runs steps\n"
    "unattended (docs/browser.md).\n"
    "\n"
    "  --help  show this text\n"
    "\n"
    "exit status: 0 when the window was closed; 1 no such page; 2 a wrong\n"
    "command line; 3 a step of TELVORA_BROWSER_SCRIPT failed\n";

}  // namespace

int main(int argc, char** argv) {
    // Before the window system is asked for: help needs no display.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // The engine's sandbox refuses to run as root; anyone else keeps it.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    RegisterCourseScheme();
    QApplication app(argc, argv);
    app.setApplicationName("telvora-browser");
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1 || args[0].isEmpty()) {
        std::fprintf(stderr,
                     "telvora-browser: one page is needed\n"
                     "Type \"telvora-browser --help\" for usage.\n");
        return 2;
    }
    // "page.htm?query": no file name of a course holds '?'.
    const qsizetype mark = args[0].indexOf('?');
    const QString page = mark < 0 ? args[0] : args[0].left(mark);
    const QString query = mark < 0 ? QString() : args[0].mid(mark + 1);
    const QFileInfo info(page);
    if (!info.isFile()) {
        std::fprintf(stderr, "telvora-browser: %s: no such page\n", qPrintable(page));
        return 1;
    }
    const std::string file = QFile::encodeName(info.absoluteFilePath()).toStdString();
    CCourseFiles files(CCourseFiles::CourseFolderOf(file));

    // Off the record: a course leaves nothing behind in a cache of ours.
    auto* profile = new QWebEngineProfile(&app);
    // A page that names no charset is the course's own: GBK.
    profile->settings()->setDefaultTextEncoding("GBK");
    profile->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    auto* host = new CControlHost(&app);
    auto* scheme = new CCourseScheme(std::move(files), host, &app);
    profile->installUrlSchemeHandler(kCourseScheme, scheme);

    auto* window = new CBrowserWindow(profile, scheme, scheme->UrlOf(file, query));
    window->show();
    host->SetOwnerWindow(window->winId());
    if (CAutomation* automation = CAutomation::ForPage(window, info.fileName()))
        automation->Start();
    // Every page goes before the profile it belongs to.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            delete qobject_cast<CBrowserWindow*>(w);
    });
    const int status = app.exec();
    // The pages' last requests (releases as they unload) come while the
    // profile goes; the host ends after.
    delete profile;
    delete host;
    return status;
}
