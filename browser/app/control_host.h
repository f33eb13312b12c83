// The controls of the course's pages live in another process, the
// automation host (telvora-ocx host): their dialogs, threads and renderer
// cannot share a process with the web engine. One JSON request a line goes
// there and one answer a line comes back, one request at a time, in the
// order they were made.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <deque>
#include <functional>

class CControlHost : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const QJsonObject& answer)>;

    explicit CControlHost(QObject* parent = nullptr);
    // Ends the host's input: the host releases its controls, finishes an
    // update they started and ends, while the browser ends at once.
    ~CControlHost() override;

    // Sends request (its "id" is added) once the requests before it are
    // answered; done gets the answer ({"ok":false,"error":...} when the host
    // cannot be reached).
    void Request(QJsonObject request, Done done);
    // The browser window the host's dialogs come up above.
    void SetOwnerWindow(quintptr nativeId);

private:
    struct CPending {
        QJsonObject request;
        Done done;
    };
    bool EnsureStarted(QString* error);
    void SendNext();
    void OnOutput();
    void FailAll(const QString& why);

    QProcess* m_process = nullptr;
    std::deque<CPending> m_queue;
    bool m_bWaiting = false;  // the front of the queue is at the host
    qint64 m_nNextId = 1;
    QByteArray m_buffer;
    quintptr m_owner = 0;
};
