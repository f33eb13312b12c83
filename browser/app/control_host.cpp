#include "browser/app/control_host.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

namespace {

QJsonObject Failure(const QString& why) {
    return QJsonObject{{"ok", false}, {"error", why}};
}

// The host program: beside the browser (a build or an installation keeps
// them together), else on PATH.
QString HostProgram() {
    const QString beside = QCoreApplication::applicationDirPath() + "/telvora-ocx";
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable("telvora-ocx");
}

}  // namespace

CControlHost::CControlHost(QObject* parent) : QObject(parent) {}

CControlHost::~CControlHost() {
    if (m_process == nullptr)
        return;
    // Not killed: an update it runs finishes, and the host then ends on its
    // own (it has its own session, so the browser's end does not hang it up).
    m_process->disconnect(this);
    m_process->closeWriteChannel();
    m_process->setParent(nullptr);
    m_process = nullptr;  // left to run; the process object goes with ours
}

bool CControlHost::EnsureStarted(QString* error) {
    if (m_process != nullptr && m_process->state() != QProcess::NotRunning)
        return true;
    const QString program = HostProgram();
    if (program.isEmpty()) {
        *error = "the automation host (telvora-ocx) is not installed";
        return false;
    }
    delete m_process;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->setChildProcessModifier([] { setsid(); });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &CControlHost::OnOutput);
    connect(m_process, &QProcess::finished, this, [this] { FailAll("the automation host ended"); });
    m_process->start(program, {"host"});
    if (!m_process->waitForStarted(10000)) {
        *error = "the automation host cannot be started: " + m_process->errorString();
        return false;
    }
    m_buffer.clear();
    m_bWaiting = false;
    if (m_owner != 0) {
        const QJsonObject owner{{"id", 0}, {"op", "owner"}, {"window", QString::number(m_owner)}};
        m_process->write(QJsonDocument(owner).toJson(QJsonDocument::Compact) + "\n");
    }
    return true;
}

void CControlHost::SetOwnerWindow(quintptr nativeId) {
    m_owner = nativeId;
    if (m_process != nullptr && m_process->state() == QProcess::Running) {
        Request(QJsonObject{{"op", "owner"}, {"window", QString::number(nativeId)}},
                [](const QJsonObject&) {});
    }
}

void CControlHost::Request(QJsonObject request, Done done) {
    m_queue.push_back({std::move(request), std::move(done)});
    SendNext();
}

void CControlHost::SendNext() {
    if (m_bWaiting || m_queue.empty())
        return;
    QString error;
    if (!EnsureStarted(&error)) {
        FailAll(error);
        return;
    }
    CPending& next = m_queue.front();
    next.request["id"] = m_nNextId++;
    m_bWaiting = true;
    m_process->write(QJsonDocument(next.request).toJson(QJsonDocument::Compact) + "\n");
}

void CControlHost::OnOutput() {
    m_buffer += m_process->readAllStandardOutput();
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0)
            return;
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        const QJsonObject answer = QJsonDocument::fromJson(line).object();
        // The owner request sent at start is answered with id 0: not ours.
        if (answer.value("id").toInteger() == 0 || !m_bWaiting || m_queue.empty())
            continue;
        CPending done = std::move(m_queue.front());
        m_queue.pop_front();
        m_bWaiting = false;
        done.done(answer.isEmpty() ? Failure("the automation host's answer is no JSON") : answer);
        SendNext();
    }
}

void CControlHost::FailAll(const QString& why) {
    std::deque<CPending> failed;
    failed.swap(m_queue);
    m_bWaiting = false;
    for (CPending& p : failed)
        p.done(Failure(why));
}
