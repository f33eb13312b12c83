// The primary renderer with real Qt windows. Calls arrive on the program's
// threads; the widgets live on the GUI thread, so every call hands its work
// over and returns at once. Text and progress changes are coalesced: the
// caller stores the latest value under a short lock, and at most one GUI
// update per window is pending at any time, so a flood of notices costs the
// program a lock and a store each.
#pragma once

#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ui/qt/dialog_widget.h"
#include "platform/ui/qt/gui_queue.h"
#include "platform/ui/qt/message_box_widget.h"
#include "platform/ui/renderer.h"

namespace ui::qt {

class CQtRenderer : public IRenderer {
public:
    // Must be made on the GUI thread.
    CQtRenderer();
    ~CQtRenderer() override;

    // GUI thread: closes every window; later calls do nothing.
    void Shutdown();

    // GUI thread: the widgets shown for a dialog / message box (null when
    // there is none, or it has closed).
    CQtDialog* FindDialog(HWND dlg) const;
    CQtMessageBox* FindMessageBox(HWND box) const;
    // Coalesced updates the GUI has drawn so far.
    std::uint64_t GuiUpdates() const { return m_nGuiUpdates.load(); }

    void DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) override;
    void DialogStarted(HWND dlg) override;
    void ControlTextChanged(HWND dlg, int controlId, const std::string& text) override;
    void ProgressChanged(HWND dlg, int controlId, int pos) override;
    void WindowShown(HWND dlg, int showCmd) override;
    void WindowPlaced(HWND dlg, HWND insertAfter, bool moved, int x, int y) override;
    void ButtonPressed(HWND dlg, int buttonId, bool answered) override {}
    void DialogClosed(HWND dlg, INT_PTR result) override;
    void MessageBoxOpened(const MessageBoxInfo& info) override;
    void MessageBoxClosed(HWND box, int result, bool answered) override;
    void ProgramExited(const std::string& program, int code) override {}

private:
    // Latest values not drawn yet, per window.
    struct CPending {
        std::vector<std::pair<int, int>> progress;
        std::vector<std::pair<int, std::string>> texts;
        bool scheduled = false;  // an update for this window is queued
    };

    void ScheduleLocked(HWND dlg, CPending& pending);
    void Flush(HWND dlg);  // GUI thread
    QWidget* FindWindow(HWND hwnd) const;
    // A window without an owner of ours comes up above the foreign owner
    // window (GetForeignOwnerWindow), when there is one. GUI thread.
    void KeepAboveForeignOwner(QWidget* window);
    // A window with an owner of ours comes up above it, topmost as it is.
    static void KeepAboveOwner(QWidget* window, QWidget* owner);

    CGuiQueue m_queue;
    std::mutex m_lock;  // guards m_pending
    std::unordered_map<HWND, CPending> m_pending;
    std::atomic<std::uint64_t> m_nGuiUpdates{0};

    // GUI thread only.
    std::unordered_map<HWND, QPointer<CQtDialog>> m_dialogs;
    std::unordered_map<HWND, QPointer<CQtMessageBox>> m_boxes;
    QWindow* m_pForeignOwner = nullptr;  // made for m_nForeignOwnerId
    std::uint64_t m_nForeignOwnerId = 0;
};

}  // namespace ui::qt
