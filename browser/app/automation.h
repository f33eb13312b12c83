// Unattended runs of the browser, for the demo, the tests and the
// benchmark: TELVORA_BROWSER_SCRIPT names a file of steps, in sections
// headed "[PAGE]" (the file name of the page a browser is started with, or
// "*"). Every browser that starts takes the first section for its page that
// no other browser has taken yet, and runs its steps:
//   wait-load [SECONDS]          the page and its frames have loaded
//   wait SECONDS FRAME EXPR      EXPR (JavaScript in FRAME) becomes true
//   wait-file SECONDS PATH       a file appears (another browser's snapshot)
//   snapshot PATH                a PNG of the window's page
//   click FRAME TEXT             a real mouse click on the link, button or
//                                cell whose text is TEXT
//   js FRAME CODE                prints "js: RESULT" (JSON) on standard output
//   paint                        prints "paint: MS", the epoch time in ms of
//                                the latest first contentful paint of the
//                                page and its frames
//   quit [CODE]                  ends the browser
// FRAME is "top" or a path of frame names or numbers ("navbar", "1/0"). A
// step that fails ends the browser with status 3 and says why.
#pragma once

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

class CBrowserWindow;

class CAutomation : public QObject {
    Q_OBJECT
public:
    // Null when there is no script, or no section left for this page.
    static CAutomation* ForPage(CBrowserWindow* window, const QString& pageFile);

    void Start();

private:
    CAutomation(CBrowserWindow* window, std::vector<QString> steps);
    void Next();
    void Fail(const QString& why);
    // Evaluates a JavaScript expression in a frame; done gets its value.
    void InFrame(const QString& frame, const QString& code, std::function<void(QVariant)> done);
    void Poll(qint64 deadline, const QString& frame, const QString& expr);
    // then runs once expr (in frame) is true; past the deadline the step
    // fails, or with failLate false, then runs anyway.
    void WhenTrue(qint64 deadline, const QString& frame, const QString& expr,
                  std::function<void()> then, bool failLate = false);
    void Click(const QString& frame, const QString& text);
    void AfterFramesPainted(std::function<void()> then);
    void ReportPaint();

    CBrowserWindow* m_window;
    std::vector<QString> m_steps;
    std::size_t m_next = 0;
    bool m_bLoaded = false;
    int m_nClicks = 0;
    std::function<void()> m_onLoad;
};
