// PNG snapshots of every dialog and message box shown, drawn offscreen from
// the template and the state the window had when it appeared, whether or
// not real windows are shown.
#pragma once

#include <QImage>
#include <QString>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/ui/drawing.h"
#include "platform/ui/qt/gui_queue.h"
#include "platform/ui/renderer.h"

namespace ui::qt {

// The frame drawn around a snapshot: a border and a caption bar holding the
// title (windows without a caption get the border only).
constexpr int kSnapshotBorder = 1;
constexpr int kSnapshotCaption = 22;

// GUI thread. A dialog as the user sees it; state may be null (the
// template's own texts); drawings (by control id) are what its hosted
// controls drew.
QImage RenderDialogImage(HWND dlg, const DialogTemplate& tmpl, const WindowState* state,
                         const std::map<int, WindowDrawing>* drawings = nullptr);
QImage RenderMessageBoxImage(const MessageBoxInfo& info);

// An observer writing DIR/NNNN-dialog-ID.png at each dialog's start and
// DIR/NNNN-messagebox.png at each message box, numbered in the order shown
// (from 0001, or after the highest number already in DIR, so runs that share
// a folder never overwrite each other).
class CSnapshotObserver : public CQuietRenderer {
public:
    // Must be made on the GUI thread; creates dir when missing.
    explicit CSnapshotObserver(const std::string& dir);

    // GUI thread: drops the work not done yet; later calls do nothing.
    void Shutdown();
    // Snapshot files written so far, and the last one's path.
    int Written() const;
    QString LastPath() const;

    void DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) override;
    void DialogStarted(HWND dlg) override;
    void DialogClosed(HWND dlg, INT_PTR result) override;
    void MessageBoxOpened(const MessageBoxInfo& info) override;

private:
    void Save(const QImage& image, const QString& kind);  // GUI thread

    QString m_dir;
    CGuiQueue m_queue;
    std::mutex m_lock;  // guards m_templates
    std::unordered_map<HWND, DialogTemplate> m_templates;
    int m_nNext = 1;                 // GUI thread only
    mutable std::mutex m_statsLock;  // guards the two below
    int m_nWritten = 0;
    QString m_lastPath;
};

}  // namespace ui::qt
