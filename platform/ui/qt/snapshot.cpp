#include "platform/ui/qt/snapshot.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>
#include <memory>

#include "platform/ui/qt/dialog_widget.h"
#include "platform/ui/qt/hosted_control_widget.h"
#include "platform/ui/qt/message_box_widget.h"

namespace ui::qt {

namespace {

// Draws the widget as shown, inside a border and under a caption bar.
QImage Frame(QWidget& window, bool captioned) {
    // Shown without reaching the screen, so styles, layouts and sizes are
    // settled exactly as for a real window.
    window.setAttribute(Qt::WA_DontShowOnScreen, true);
    window.show();
    const QSize client = window.size();
    const int caption = captioned ? kSnapshotCaption : 0;
    QImage image(client.width() + 2 * kSnapshotBorder,
                 client.height() + caption + 2 * kSnapshotBorder, QImage::Format_RGB32);
    image.fill(QColor(64, 64, 64));
    QPainter painter(&image);
    if (captioned) {
        const QRect bar(kSnapshotBorder, kSnapshotBorder, client.width(), caption);
        QLinearGradient g(bar.topLeft(), bar.topRight());
        g.setColorAt(0.0, QColor(10, 36, 106));
        g.setColorAt(1.0, QColor(166, 202, 240));
        painter.fillRect(bar, g);
        QFont font = window.font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        const QRect textRect = bar.adjusted(6, 0, -6, 0);
        const QString title =
            QFontMetrics(font).elidedText(window.windowTitle(), Qt::ElideRight, textRect.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, title);
    }
    window.render(&painter, QPoint(kSnapshotBorder, kSnapshotBorder + caption));
    painter.end();
    window.hide();
    return image;
}

int LeadingNumber(const QString& name) {
    const int dash = name.indexOf(QLatin1Char('-'));
    bool ok = false;
    const int n = dash > 0 ? name.left(dash).toInt(&ok) : 0;
    return ok ? n : 0;
}

}  // namespace

QImage RenderDialogImage(HWND dlg, const DialogTemplate& tmpl, const WindowState* state,
                         const std::map<int, WindowDrawing>* drawings) {
    CQtDialog dialog(dlg, tmpl, false);
    if (state != nullptr) {
        dialog.ApplyState(*state);
    }
    if (drawings != nullptr) {
        for (const auto& [id, drawing] : *drawings) {
            dialog.SetHostedDrawing(id, drawing);
        }
    }
    return Frame(dialog, (tmpl.style & WS_CAPTION) != 0);
}

QImage RenderMessageBoxImage(const MessageBoxInfo& info) {
    CQtMessageBox box(info, false);
    return Frame(box, true);
}

CSnapshotObserver::CSnapshotObserver(const std::string& dir)
    : m_dir(QString::fromUtf8(dir.c_str())) {
    QDir folder;
    if (!folder.mkpath(m_dir)) {
        std::fprintf(stderr, "snapshots: cannot create folder %s\n", dir.c_str());
    }
    for (const QString& name : QDir(m_dir).entryList({QStringLiteral("*.png")}, QDir::Files)) {
        m_nNext = std::max(m_nNext, LeadingNumber(name) + 1);
    }
}

void CSnapshotObserver::Shutdown() {
    m_queue.Shutdown();
}

int CSnapshotObserver::Written() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return m_nWritten;
}

QString CSnapshotObserver::LastPath() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return m_lastPath;
}

void CSnapshotObserver::DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_templates[dlg] = tmpl;
}

void CSnapshotObserver::DialogStarted(HWND dlg) {
    auto tmpl = std::make_shared<DialogTemplate>();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_templates.find(dlg);
        if (it == m_templates.end()) {
            return;
        }
        *tmpl = it->second;
    }
    // The state is copied now, on the program's thread: the picture shows
    // the window as it was when it appeared, not as it is when drawn.
    auto state = std::make_shared<WindowState>();
    const bool known = GetWindowState(dlg, state.get());
    auto drawings = std::make_shared<std::map<int, WindowDrawing>>();
    for (const ControlTemplate& c : tmpl->controls) {
        WindowDrawing drawing;
        if (c.kind == ControlKind::HostedControl && HostedControlDrawing(dlg, c.id, &drawing)) {
            (*drawings)[c.id] = std::move(drawing);
        }
    }
    m_queue.Post([this, dlg, tmpl, state, known, drawings] {
        Save(RenderDialogImage(dlg, *tmpl, known ? state.get() : nullptr, drawings.get()),
             QStringLiteral("dialog-%1").arg(tmpl->id));
    });
}

void CSnapshotObserver::DialogClosed(HWND dlg, INT_PTR result) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_templates.erase(dlg);
}

void CSnapshotObserver::MessageBoxOpened(const MessageBoxInfo& info) {
    m_queue.Post([this, info] { Save(RenderMessageBoxImage(info), QStringLiteral("messagebox")); });
}

void CSnapshotObserver::Save(const QImage& image, const QString& kind) {
    // Another program may write into the same folder: never overwrite,
    // take the next free number instead.
    for (int attempt = 0; attempt < 1000; ++attempt, ++m_nNext) {
        const QString path = QDir(m_dir).filePath(
            QStringLiteral("%1-%2.png").arg(m_nNext, 4, 10, QLatin1Char('0')).arg(kind));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists()) {
                continue;
            }
            std::fprintf(stderr, "snapshots: cannot write %s\n", path.toLocal8Bit().constData());
            return;
        }
        if (!image.save(&file, "PNG")) {
            file.remove();
            std::fprintf(stderr, "snapshots: cannot write %s\n", path.toLocal8Bit().constData());
            return;
        }
        ++m_nNext;
        std::lock_guard<std::mutex> guard(m_statsLock);
        ++m_nWritten;
        m_lastPath = path;
        return;
    }
    std::fprintf(stderr, "snapshots: no free file name in %s\n", m_dir.toLocal8Bit().constData());
}

}  // namespace ui::qt
