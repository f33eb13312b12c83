#include "browser/app/automation.h"

#include <sys/stat.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMouseEvent>
#include <QTimer>
#include <QWebEngineView>
#include <cstdio>

#include "browser/app/browser_window.h"

namespace {

constexpr int kPollMs = 50;
// A frame that never paints (nothing visible in it) does not hold a snapshot
// back longer than this.
constexpr int kPaintWaitMs = 5000;
// How long a page may take to take a click.
constexpr int kClickWaitMs = 10000;
constexpr int kStatusFailed = 3;

// The first word of a step and the rest.
QString Head(const QString& step, QString* rest) {
    const qsizetype blank = step.indexOf(' ');
    *rest = blank < 0 ? QString() : step.mid(blank + 1).trimmed();
    return blank < 0 ? step : step.left(blank);
}

QString JsString(const QString& s) {
    return QString::fromUtf8(
               QJsonDocument::fromVariant(QVariantList{s}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

}  // namespace

CAutomation* CAutomation::ForPage(CBrowserWindow* window, const QString& pageFile) {
    const QString script = qEnvironmentVariable("TELVORA_BROWSER_SCRIPT");
    if (script.isEmpty())
        return nullptr;
    QFile in(script);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "telvora-browser: cannot read the script %s\n", qPrintable(script));
        return nullptr;
    }
    const QStringList lines = QString::fromUtf8(in.readAll()).split('\n');
    std::vector<QString> steps;
    int section = -1;
    bool mine = false;
    bool taken = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            if (taken)
                break;
            ++section;
            const QString name = line.mid(1, line.size() - 2).trimmed();
            // Taken by whichever browser makes its mark first.
            mine =
                (name == "*" || name.compare(pageFile, Qt::CaseInsensitive) == 0) &&
                mkdir(QFile::encodeName(script + ".taken-" + QString::number(section)), 0700) == 0;
            taken = mine;
            continue;
        }
        if (mine)
            steps.push_back(line);
    }
    if (!taken)
        return nullptr;
    return new CAutomation(window, std::move(steps));
}

CAutomation::CAutomation(CBrowserWindow* window, std::vector<QString> steps)
    : QObject(window), m_window(window), m_steps(std::move(steps)) {
    connect(m_window->View(), &QWebEngineView::loadFinished, this, [this](bool) {
        m_bLoaded = true;
        if (auto done = std::exchange(m_onLoad, nullptr))
            done();
    });
    connect(m_window->View(), &QWebEngineView::loadStarted, this, [this] { m_bLoaded = false; });
}

void CAutomation::Start() {
    QTimer::singleShot(0, this, &CAutomation::Next);
}

void CAutomation::Fail(const QString& why) {
    std::fprintf(stderr, "telvora-browser: step %zu failed: %s\n", m_next, qPrintable(why));
    std::fflush(nullptr);
    QApplication::exit(kStatusFailed);
}

void CAutomation::InFrame(const QString& frame, const QString& code,
                          std::function<void(QVariant)> done) {
    // The frame's window found from the top, by names or numbers.
    const QString js =
        "(function () { var w = window; var path = " + JsString(frame) +
        ";"
        " if (path !== 'top') { var parts = path.split('/');"
        "  for (var i = 0; i < parts.length; ++i) {"
        "   w = /^[0-9]+$/.test(parts[i]) ? w.frames[+parts[i]] : w.frames[parts[i]];"
        "   if (!w) return undefined; } }"
        " return w.eval(" +
        JsString(code) + "); })()";
    m_window->Page()->runJavaScript(js, [done](const QVariant& v) { done(v); });
}

void CAutomation::Next() {
    if (m_next >= m_steps.size())
        return;
    const QString step = m_steps[m_next++];
    QString rest;
    const QString command = Head(step, &rest);
    if (command == "wait-load") {
        const int seconds = rest.isEmpty() ? 60 : rest.toInt();
        if (m_bLoaded) {
            Next();
            return;
        }
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this] { Fail("the page did not load in time"); });
        timer->start(seconds * 1000);
        m_onLoad = [this, timer] {
            timer->stop();
            timer->deleteLater();
            Next();
        };
    } else if (command == "wait") {
        QString exprFrame;
        const int seconds = Head(rest, &exprFrame).toInt();
        QString expr;
        const QString frame = Head(exprFrame, &expr);
        Poll(QDateTime::currentMSecsSinceEpoch() + qint64(seconds) * 1000, frame, expr);
    } else if (command == "wait-file") {
        QString path;
        const int seconds = Head(rest, &path).toInt();
        const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + qint64(seconds) * 1000;
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, timer, path, deadline] {
            if (QFileInfo::exists(path)) {
                timer->deleteLater();
                Next();
            } else if (QDateTime::currentMSecsSinceEpoch() > deadline) {
                timer->deleteLater();
                Fail(path + " did not appear");
            }
        });
        timer->start(kPollMs);
    } else if (command == "snapshot") {
        const QString path = rest;
        AfterFramesPainted([this, path] {
            QDir().mkpath(QFileInfo(path).absolutePath());
            if (!m_window->View()->grab().save(path, "PNG"))
                Fail("cannot write " + path);
            else
                Next();
        });
    } else if (command == "click") {
        QString text;
        const QString frame = Head(rest, &text);
        Click(frame, text);
    } else if (command == "js") {
        QString code;
        const QString frame = Head(rest, &code);
        InFrame(frame, "(" + code + ")", [this](const QVariant& v) {
            const QByteArray json =
                QJsonDocument::fromVariant(QVariantList{v}).toJson(QJsonDocument::Compact);
            std::printf("js: %s\n", json.mid(1, json.size() - 2).constData());
            std::fflush(stdout);
            Next();
        });
    } else if (command == "paint") {
        AfterFramesPainted([this] { ReportPaint(); });
    } else if (command == "quit") {
        std::fflush(nullptr);
        QApplication::exit(rest.toInt());
    } else {
        Fail("unknown step " + command);
    }
}

void CAutomation::ReportPaint() {
    InFrame("top",
            "(function () { var latest = 0; var all = [window];"
            " while (all.length) { var w = all.shift();"
            "  for (var i = 0; i < w.frames.length; ++i) all.push(w.frames[i]);"
            "  var p = w.performance.getEntriesByName('first-contentful-paint')[0];"
            "  if (p) latest = Math.max(latest, w.performance.timeOrigin + p.startTime); }"
            " return latest; })()",
            [this](const QVariant& v) {
                std::printf("paint: %.0f\n", v.toDouble());
                std::fflush(stdout);
                Next();
            });
}

void CAutomation::AfterFramesPainted(std::function<void()> then) {
    // Once every frame with something to show has painted it (a frame paints
    // after the page's load event, frames at their own pace).
    const QString painted =
        "(function () { var all = [window];"
        " while (all.length) { var w = all.shift();"
        "  for (var i = 0; i < w.frames.length; ++i) all.push(w.frames[i]);"
        "  var body = w.document.body;"
        "  if (body && body.innerText.trim() &&"
        "      !w.performance.getEntriesByName('first-contentful-paint').length) return false; }"
        " return true; })()";
    WhenTrue(QDateTime::currentMSecsSinceEpoch() + kPaintWaitMs, "top", painted, std::move(then));
}

void CAutomation::Poll(qint64 deadline, const QString& frame, const QString& expr) {
    WhenTrue(
        deadline, frame, expr, [this] { Next(); }, true);
}

void CAutomation::WhenTrue(qint64 deadline, const QString& frame, const QString& expr,
                           std::function<void()> then, bool failLate) {
    InFrame(frame, "!!(" + expr + ")", [=, this](const QVariant& v) {
        if (v.toBool() || (!failLate && QDateTime::currentMSecsSinceEpoch() > deadline)) {
            then();
        } else if (QDateTime::currentMSecsSinceEpoch() > deadline) {
            Fail("still not true: " + expr);
        } else {
            QTimer::singleShot(kPollMs, this,
                               [=, this] { WhenTrue(deadline, frame, expr, then, failLate); });
        }
    });
}

void CAutomation::Click(const QString& frame, const QString& text) {
    // Where the element is in the window: its box in its frame, plus the
    // boxes of the frames it lies in, up to the top.
    const QString code =
        "(function () { var want = " + JsString(text) +
        ";"
        " var all = document.querySelectorAll('a, button, input, td, span, div, p');"
        " for (var i = 0; i < all.length; ++i) { var e = all[i];"
        "  var t = (e.value !== undefined && e.tagName === 'INPUT') ? e.value : e.textContent;"
        "  if (t.trim() !== want) continue;"
        "  window.__tvClicked = false; window.__tvClickToken = " +
        QString::number(++m_nClicks) +
        ";"
        "  document.addEventListener('click', function () { window.__tvClicked = true; },"
        "                            {capture: true, once: true});"
        "  var b = e.getBoundingClientRect(); var x = b.left + b.width / 2, y = b.top + b.height / "
        "2;"
        "  for (var w = window; w.frameElement; w = w.parent) {"
        "   var f = w.frameElement.getBoundingClientRect();"
        "   x += f.left + w.frameElement.clientLeft; y += f.top + w.frameElement.clientTop; }"
        "  return [x, y]; }"
        " return null; })()";
    InFrame(frame, code, [this, frame, text](const QVariant& v) {
        const QVariantList at = v.toList();
        if (at.size() != 2) {
            Fail("nothing reads \"" + text + "\"");
            return;
        }
        QWidget* target = m_window->View()->focusProxy();
        if (target == nullptr)
            target = m_window->View();
        const QPointF local(at[0].toDouble(), at[1].toDouble());
        const QPointF global = target->mapToGlobal(local);
        QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        // The page has the click, and its handlers have run, once the
        // frame's listener has seen it, or the click took the frame to
        // another document.
        WhenTrue(
            QDateTime::currentMSecsSinceEpoch() + kClickWaitMs, frame,
            "window.__tvClicked || window.__tvClickToken !== " + QString::number(m_nClicks),
            [this] { Next(); }, true);
    });
}
