// The browser's own scheme, telvora://course/...: the course's files, with
// its pages and .vbs files rewritten as they load (VBScript to JavaScript,
// the controls' objects to script objects), and the paths under /.telvora/
// that the pages' bridge script asks: a control made, a method called
// (answered when the automation host answers: the page waits in a
// synchronous request), a control released, a media file played.
#pragma once

#include <QPointer>
#include <QWebEngineUrlSchemeHandler>

#include "browser/app/course_files.h"

class CControlHost;
class QUrl;

constexpr char kCourseScheme[] = "telvora";
constexpr char kCourseHost[] = "course";

// Registers the scheme with the web engine: before the application object.
void RegisterCourseScheme();

class CCourseScheme : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    CCourseScheme(CCourseFiles files, CControlHost* host, QObject* parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // The URL of a course file (a Unix path), with query as given.
    QUrl UrlOf(const std::string& file, const QString& query = QString()) const;
    // Hands a media file to the course's player: a URL of the course (its
    // file), or a Windows path as a page's script found it on the CD.
    void Play(const QString& pathOrUrl);

private:
    void ServeFile(QWebEngineUrlRequestJob* job);
    void ServeBridge(QWebEngineUrlRequestJob* job);

    CCourseFiles m_files;
    QPointer<CControlHost> m_host;  // requests of pages that unload at the end find it gone
};
