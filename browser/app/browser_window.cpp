#include "browser/app/browser_window.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>
#include <QWebEngineView>
#include <cstdio>

#include "browser/app/course_files.h"
#include "browser/app/course_scheme.h"

CCoursePage::CCoursePage(QWebEngineProfile* profile, CCourseScheme* scheme, QObject* parent)
    : QWebEnginePage(profile, parent), m_scheme(scheme) {}

bool CCoursePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    // A media file is played, not shown: the engine plays none of the
    // course's formats.
    if (url.scheme() == kCourseScheme && IsMediaName(url.path().toStdString())) {
        m_scheme->Play(url.toString());
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage* CCoursePage::createWindow(WebWindowType) {
    auto* window = new CBrowserWindow(profile(), m_scheme, QUrl());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window->Page();
}

void CCoursePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString& message, int line,
                                           const QString& source) {
    // What the pages' scripts could not do (an untranslated line, a failed
    // call) is worth a line on the terminal.
    if (level != InfoMessageLevel)
        qWarning("telvora-browser: %s:%d: %s", qPrintable(source), line, qPrintable(message));
}

bool CCoursePage::Unattended() const {
    return !qEnvironmentVariableIsEmpty("TELVORA_BROWSER_SCRIPT");
}

void CCoursePage::javaScriptAlert(const QUrl& origin, const QString& text) {
    if (!Unattended()) {
        QWebEnginePage::javaScriptAlert(origin, text);
        return;
    }
    std::printf("dialog: %s\n", qPrintable(text));
    std::fflush(stdout);
}

bool CCoursePage::javaScriptConfirm(const QUrl& origin, const QString& text) {
    if (!Unattended())
        return QWebEnginePage::javaScriptConfirm(origin, text);
    std::printf("dialog: %s\n", qPrintable(text));
    std::fflush(stdout);
    return true;
}

bool CCoursePage::javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value,
                                   QString* result) {
    if (!Unattended())
        return QWebEnginePage::javaScriptPrompt(origin, text, value, result);
    std::printf("dialog: %s\n", qPrintable(text));
    std::fflush(stdout);
    *result = value;
    return true;
}

CBrowserWindow::CBrowserWindow(QWebEngineProfile* profile, CCourseScheme* scheme, const QUrl& home)
    : m_view(new QWebEngineView(this)),
      m_page(new CCoursePage(profile, scheme, m_view)),
      m_home(home) {
    m_view->setPage(m_page);
    setCentralWidget(m_view);
    QToolBar* bar = addToolBar("navigation");
    bar->setMovable(false);
    bar->addAction(m_view->pageAction(QWebEnginePage::Back));
    bar->addAction(m_view->pageAction(QWebEnginePage::Forward));
    QAction* home_ = bar->addAction(QString::fromUtf8("\xe9\xa6\x96\xe9\xa1\xb5"));  // 首页
    connect(home_, &QAction::triggered, this, [this] {
        if (m_home.isValid())
            m_view->load(m_home);
    });
    home_->setEnabled(home.isValid());
    QAction* print = bar->addAction(QString::fromUtf8("\xe6\x89\x93\xe5\x8d\xb0"));  // 打印
    connect(print, &QAction::triggered, this, &CBrowserWindow::Print);
    // The history page prints itself with javascript:print().
    connect(m_page, &QWebEnginePage::printRequested, this, &CBrowserWindow::Print);
    connect(m_view, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        setWindowTitle(title.isEmpty() ? m_view->url().toString() : title);
    });
    resize(1024, 768);
    if (home.isValid())
        m_view->load(home);
}

void CBrowserWindow::Print() {
    // One printing at a time: the printer lives until the next.
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() == QDialog::Accepted)
        m_view->print(m_printer.get());
}
