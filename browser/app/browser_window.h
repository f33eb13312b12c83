// A window of the course browser: the page, the back, forward, home and
// print commands, the page's title as the window's. A page's links to media
// files go to the course's player instead of being navigated to, and a page
// that opens a window gets one of these.
#pragma once

#include <QMainWindow>
#include <QPrinter>
#include <QUrl>
#include <QWebEnginePage>
#include <memory>

class CCourseScheme;
class QWebEngineView;
class QWebEngineProfile;

class CCoursePage : public QWebEnginePage {
    Q_OBJECT
public:
    CCoursePage(QWebEngineProfile* profile, CCourseScheme* scheme, QObject* parent);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;
    // Unattended (TELVORA_BROWSER_SCRIPT), a page's message boxes are
    // printed ("dialog: TEXT") and answered with OK instead of waiting.
    void javaScriptAlert(const QUrl& origin, const QString& text) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& text) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& text, const QString& value,
                          QString* result) override;

private:
    bool Unattended() const;

    CCourseScheme* m_scheme;
};

class CBrowserWindow : public QMainWindow {
    Q_OBJECT
public:
    CBrowserWindow(QWebEngineProfile* profile, CCourseScheme* scheme, const QUrl& home);

    QWebEngineView* View() const { return m_view; }
    CCoursePage* Page() const { return m_page; }

private:
    void Print();

    QWebEngineView* m_view;
    CCoursePage* m_page;
    QUrl m_home;
    std::unique_ptr<QPrinter> m_printer;
};
