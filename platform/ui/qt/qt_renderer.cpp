#include "platform/ui/qt/qt_renderer.h"

#include <memory>

namespace ui::qt {

namespace {

template <typename T>
void StoreLatest(std::vector<std::pair<int, T>>& values, int id, T value) {
    for (auto& v : values) {
        if (v.first == id) {
            v.second = std::move(value);
            return;
        }
    }
    values.emplace_back(id, std::move(value));
}

void Dispose(QWidget* widget) {
    if (widget != nullptr) {
        widget->hide();
        widget->deleteLater();
    }
}

// Whether text is still the core's text of the control. The core reports
// typed text back some time later: by then the user may have typed on, and
// an old report must not undo that (a newer report follows anyway).
bool IsCurrentText(HWND dlg, int controlId, const std::string& text) {
    WindowState state;
    if (!GetWindowState(dlg, &state)) {
        return true;
    }
    for (const ControlState& c : state.controls) {
        if (c.id == controlId) {
            return c.text == text;
        }
    }
    return true;
}

}  // namespace

CQtRenderer::CQtRenderer() = default;

CQtRenderer::~CQtRenderer() {
    Shutdown();
}

void CQtRenderer::Shutdown() {
    m_queue.Shutdown();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_pending.clear();
    }
    // A message box may be a child of a dialog: the pointers notice when
    // deleting one deletes the other.
    for (auto& [hwnd, box] : m_boxes) {
        delete box.data();
    }
    for (auto& [hwnd, dialog] : m_dialogs) {
        delete dialog.data();
    }
    m_boxes.clear();
    m_dialogs.clear();
    delete m_pForeignOwner;
    m_pForeignOwner = nullptr;
}

CQtDialog* CQtRenderer::FindDialog(HWND dlg) const {
    auto it = m_dialogs.find(dlg);
    return it != m_dialogs.end() ? it->second.data() : nullptr;
}

CQtMessageBox* CQtRenderer::FindMessageBox(HWND box) const {
    auto it = m_boxes.find(box);
    return it != m_boxes.end() ? it->second.data() : nullptr;
}

QWidget* CQtRenderer::FindWindow(HWND hwnd) const {
    if (hwnd == nullptr) {
        return nullptr;
    }
    if (CQtDialog* dialog = FindDialog(hwnd)) {
        return dialog;
    }
    return FindMessageBox(hwnd);
}

namespace {

// An owner that stays on top (the installer's progress window) would keep
// the boxes and dialogs it owns beneath it, with the keyboard going to them.
bool OwnerStaysOnTop(const QWidget* window) {
    const QWidget* owner = window->parentWidget();
    return owner != nullptr && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace

void CQtRenderer::KeepAboveOwner(QWidget* window, QWidget* owner) {
    if (owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void CQtRenderer::KeepAboveForeignOwner(QWidget* window) {
    const std::uint64_t id = GetForeignOwnerWindow();
    if (id == 0)
        return;
    if (id != m_nForeignOwnerId) {
        delete m_pForeignOwner;
        m_pForeignOwner = QWindow::fromWinId(static_cast<WId>(id));
        m_nForeignOwnerId = id;
    }
    if (m_pForeignOwner == nullptr)
        return;
    window->winId();  // makes the native window the transient hint goes on
    if (QWindow* handle = window->windowHandle())
        handle->setTransientParent(m_pForeignOwner);
}

void CQtRenderer::DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) {
    auto copy = std::make_shared<const DialogTemplate>(tmpl);
    m_queue.Post([this, dlg, owner, copy] {
        QWidget* parent = FindWindow(owner);
        auto* dialog = new CQtDialog(dlg, *copy, true, parent);
        // The core runs the modal loop; here the owner is only kept from
        // input while its dialog is open, as the desktop system does.
        dialog->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::NonModal);
        if (parent == nullptr)
            KeepAboveForeignOwner(dialog);
        else
            KeepAboveOwner(dialog, parent);
        Dispose(FindDialog(dlg));
        m_dialogs[dlg] = dialog;
    });
}

void CQtRenderer::DialogStarted(HWND dlg) {
    auto state = std::make_shared<WindowState>();
    const bool known = GetWindowState(dlg, state.get());
    m_queue.Post([this, dlg, state, known] {
        CQtDialog* dialog = FindDialog(dlg);
        if (dialog == nullptr) {
            return;
        }
        if (known) {
            dialog->ApplyState(*state);
            dialog->SetTopmost(state->topmost || OwnerStaysOnTop(dialog));
            if (state->moved) {
                dialog->move(state->x, state->y);
            }
        }
        if (!known || state->visible) {
            dialog->show();
            dialog->raise();
            dialog->activateWindow();
        }
    });
}

void CQtRenderer::ScheduleLocked(HWND dlg, CPending& pending) {
    if (pending.scheduled) {
        return;
    }
    pending.scheduled = true;
    m_queue.Post([this, dlg] { Flush(dlg); });
}

void CQtRenderer::ControlTextChanged(HWND dlg, int controlId, const std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    CPending& pending = m_pending[dlg];
    StoreLatest(pending.texts, controlId, text);
    ScheduleLocked(dlg, pending);
}

void CQtRenderer::ProgressChanged(HWND dlg, int controlId, int pos) {
    std::lock_guard<std::mutex> guard(m_lock);
    CPending& pending = m_pending[dlg];
    StoreLatest(pending.progress, controlId, pos);
    ScheduleLocked(dlg, pending);
}

void CQtRenderer::Flush(HWND dlg) {
    CPending taken;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_pending.find(dlg);
        if (it == m_pending.end()) {
            return;
        }
        taken.texts.swap(it->second.texts);
        taken.progress.swap(it->second.progress);
        it->second.scheduled = false;
    }
    if (CQtDialog* dialog = FindDialog(dlg)) {
        for (const auto& [id, text] : taken.texts) {
            if (!dialog->IsEdit(id) || IsCurrentText(dlg, id, text)) {
                dialog->SetControlText(id, text);
            }
        }
        bool inRange = true;
        for (const auto& [id, pos] : taken.progress) {
            inRange = dialog->SetProgress(id, pos) && inRange;
        }
        // Range changes come without a notice of their own: a position
        // outside the known range means the core has a new one.
        WindowState state;
        if (!inRange && GetWindowState(dlg, &state)) {
            dialog->ApplyState(state);
        }
    }
    m_nGuiUpdates.fetch_add(1);
}

void CQtRenderer::WindowShown(HWND dlg, int showCmd) {
    m_queue.Post([this, dlg, showCmd] {
        if (QWidget* window = FindWindow(dlg)) {
            if (showCmd == SW_HIDE) {
                window->hide();
            } else {
                window->show();
            }
        }
    });
}

void CQtRenderer::WindowPlaced(HWND dlg, HWND insertAfter, bool moved, int x, int y) {
    m_queue.Post([this, dlg, insertAfter, moved, x, y] {
        QWidget* window = FindWindow(dlg);
        if (window == nullptr) {
            return;
        }
        CQtDialog* dialog = FindDialog(dlg);
        if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
            if (dialog != nullptr) {
                dialog->SetTopmost(insertAfter == HWND_TOPMOST || OwnerStaysOnTop(dialog));
            }
        } else if (insertAfter == HWND_BOTTOM) {
            window->lower();
        } else if (insertAfter == HWND_TOP) {
            window->raise();
        }
        if (moved) {
            window->move(x, y);
        }
    });
}

void CQtRenderer::DialogClosed(HWND dlg, INT_PTR result) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_pending.erase(dlg);
    }
    m_queue.Post([this, dlg] {
        auto it = m_dialogs.find(dlg);
        if (it != m_dialogs.end()) {
            Dispose(it->second.data());
            m_dialogs.erase(it);
        }
    });
}

void CQtRenderer::MessageBoxOpened(const MessageBoxInfo& info) {
    m_queue.Post([this, info] {
        QWidget* parent = FindWindow(info.owner);
        auto* box = new CQtMessageBox(info, true, parent);
        box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::NonModal);
        if (parent == nullptr)
            KeepAboveForeignOwner(box);
        else
            KeepAboveOwner(box, parent);
        Dispose(FindMessageBox(info.box));
        m_boxes[info.box] = box;
        box->show();
        box->raise();
        box->activateWindow();
    });
}

void CQtRenderer::MessageBoxClosed(HWND box, int result, bool answered) {
    m_queue.Post([this, box] {
        auto it = m_boxes.find(box);
        if (it != m_boxes.end()) {
            Dispose(it->second.data());
            m_boxes.erase(it);
        }
    });
}

}  // namespace ui::qt
