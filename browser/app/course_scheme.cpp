#include "browser/app/course_scheme.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QUrlQuery>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "browser/app/control_host.h"
#include "browser/rewrite/page_rewrite.h"

namespace {

// Course pages are small; anything larger is no page to rewrite.
constexpr qint64 kMaxRewrittenBytes = 16 << 20;

void Reply(QWebEngineUrlRequestJob* job, const QByteArray& type, const QByteArray& bytes) {
    auto* buffer = new QBuffer(job);
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    job->reply(type, buffer);
}

void ReplyJson(QWebEngineUrlRequestJob* job, const QJsonObject& answer) {
    Reply(job, "application/json", QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

}  // namespace

void RegisterCourseScheme() {
    QWebEngineUrlScheme scheme(kCourseScheme);
    // One host: every frame of the course shares one origin, so frames reach
    // each other's scripts as they did in the course's own browser.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setDefaultPort(QWebEngineUrlScheme::PortUnspecified);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::LocalAccessAllowed |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
}

CCourseScheme::CCourseScheme(CCourseFiles files, CControlHost* host, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), m_files(std::move(files)), m_host(host) {}

QUrl CCourseScheme::UrlOf(const std::string& file, const QString& query) const {
    QUrl url;
    url.setScheme(kCourseScheme);
    url.setHost(kCourseHost);
    url.setPath(QString::fromStdString(m_files.UrlPathOf(file).value_or("/")));
    if (!query.isEmpty())
        url.setQuery(query);
    return url;
}

void CCourseScheme::Play(const QString& pathOrUrl) {
    QString path = pathOrUrl;
    const QUrl url(pathOrUrl);
    if (url.scheme() == kCourseScheme) {
        // A file of the course: the player gets its path on this machine.
        std::optional<std::string> file = m_files.Resolve(url.path().toStdString());
        if (!file) {
            qWarning("telvora-browser: no such media file: %s", qPrintable(pathOrUrl));
            return;
        }
        path = QString::fromStdString(*file);
    }
    if (!m_host)
        return;
    m_host->Request(QJsonObject{{"op", "play"}, {"path", path}}, [path](const QJsonObject& a) {
        if (!a.value("ok").toBool())
            qWarning("telvora-browser: %s cannot be played: %s", qPrintable(path),
                     qPrintable(a.value("error").toString()));
    });
}

void CCourseScheme::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    if (url.host() != kCourseHost ||
        (!m_host && url.path().startsWith("/.telvora/") && url.path() != kBridgeUrl)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QString path = url.path();
    if (!path.startsWith("/.telvora/")) {
        ServeFile(job);
        return;
    }
    const QUrlQuery query(url);
    auto value = [&](const char* name) { return query.queryItemValue(name, QUrl::FullyDecoded); };
    if (path == kBridgeUrl) {
        ServeBridge(job);
        return;
    }
    QJsonObject request;
    if (path == "/.telvora/create") {
        request = {{"op", "create"}, {"clsid", value("clsid")}};
    } else if (path == "/.telvora/call") {
        const QJsonDocument args = QJsonDocument::fromJson(value("args").toUtf8());
        request = {{"op", "call"},
                   {"object", value("object").toLongLong()},
                   {"method", value("method")},
                   {"args", args.isArray() ? args.array() : QJsonArray()}};
    } else if (path == "/.telvora/release") {
        m_host->Request({{"op", "release"}, {"object", value("object").toLongLong()}},
                        [](const QJsonObject&) {});
        ReplyJson(job, {{"ok", true}});
        return;
    } else if (path == "/.telvora/play") {
        Play(value("path"));
        ReplyJson(job, {{"ok", true}});
        return;
    } else {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // Answered when the host answers; the page may be gone by then.
    QPointer<QWebEngineUrlRequestJob> waiting(job);
    m_host->Request(request, [waiting](const QJsonObject& answer) {
        if (waiting)
            ReplyJson(waiting, answer);
    });
}

void CCourseScheme::ServeBridge(QWebEngineUrlRequestJob* job) {
    const std::string& script = BridgeScript();
    Reply(job, "application/javascript", QByteArray(script.data(), qsizetype(script.size())));
}

void CCourseScheme::ServeFile(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    std::optional<std::string> file = m_files.Resolve(url.path().toStdString());
    if (!file) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    QFile in(QString::fromStdString(*file));
    if (!in.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const std::string type = ContentTypeOf(*file);
    const bool vbs =
        file->size() > 4 && QString::fromStdString(*file).endsWith(".vbs", Qt::CaseInsensitive);
    if ((type == "text/html" || vbs) && in.size() <= kMaxRewrittenBytes) {
        const QByteArray bytes = in.readAll();
        const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
        const CRewriteResult result = vbs ? RewriteVbsFile(view) : RewritePage(view);
        for (const std::string& problem : result.problems)
            qWarning("telvora-browser: %s: %s", file->c_str(), problem.c_str());
        // The page keeps its own charset; it is said in case the page does not.
        const std::string served =
            result.charset.empty() ? type : type + ";charset=" + result.charset;
        Reply(job, QByteArray::fromStdString(served),
              QByteArray(result.bytes.data(), qsizetype(result.bytes.size())));
        return;
    }
    auto* device = new QFile(QString::fromStdString(*file), job);
    device->open(QIODevice::ReadOnly);
    job->reply(QByteArray::fromStdString(type), device);
}
