#include "platform/ui/qt/tests/qt_test_support.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTimer>
#include <cstdint>
#include <cstdlib>

#include "platform/ui/qt/qt_text.h"

namespace ui::qt::test {

void EnsureApp() {
    if (QApplication::instance() != nullptr) {
        return;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    auto* app = new QApplication(argc, argv);  // lives until the program ends
    app->setQuitOnLastWindowClosed(false);
}

bool ProcessUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the wait when the awaited change posts no event of its own.
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void Drain() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

HWND FakeWindow(int n) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7f000000u + n));
}

namespace {

// Test dialogs in the shapes the programs use (a progress dialog, a login
// form, a notice, a question): the renderer is checked against these, not
// against any program's own resources.
DialogTemplate Dialog(int id, const char* title, int cx, int cy) {
    return MakeDialog(id, title, cx, cy);
}

}  // namespace

DialogTemplate ProgressTemplate() {
    DialogTemplate t = Dialog(130, "正在安装课件内容", 322, 221);
    t.controls = {
        MakeControl(ControlKind::Bitmap, IDC_STATIC, "", 6, 14, 49, 106, 0, 137),
        MakeControl(ControlKind::Static, 1014, "文件拷贝中. . . ", 97, 14, 81, 12),
        MakeControl(ControlKind::GroupBox, IDC_STATIC, "当前文件", 97, 30, 221, 93),
        MakeControl(ControlKind::Static, IDC_STATIC, "正在复制文件：", 108, 43, 57, 8),
        MakeControl(ControlKind::Static, 1011, "test", 109, 65, 200, 8),
        MakeControl(ControlKind::Progress, 1001, "", 108, 90, 200, 15),
        MakeControl(ControlKind::GroupBox, IDC_STATIC, "全部文件", 96, 139, 222, 39),
        MakeControl(ControlKind::Progress, 1000, "", 107, 157, 200, 15),
    };
    return t;
}

DialogTemplate LoginTemplate() {
    DialogTemplate t = Dialog(211, "请输入", 226, 135);
    const DWORD edit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    t.controls = {
        MakeControl(ControlKind::Edit, 211, "", 101, 58, 52, 12, edit),
        MakeControl(ControlKind::Edit, 208, "", 101, 76, 51, 12, edit | ES_PASSWORD),
        MakeControl(ControlKind::DefPushButton, IDOK, "确定", 53, 110, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 124, 110, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::Static, IDC_STATIC, "用户名：", 61, 60, 32, 8),
        MakeControl(ControlKind::Static, IDC_STATIC, "密  码：", 61, 78, 34, 8),
        MakeControl(ControlKind::Static, IDC_STATIC,
                    "您现在可以上网更新课件内容。\n\n请输入用户名和密码。", 52, 13, 118, 29),
    };
    return t;
}

DialogTemplate NoticeTemplate() {
    DialogTemplate t = Dialog(138, "请注意", 322, 221);
    t.style |= WS_SYSMENU;
    t.controls = {
        MakeControl(ControlKind::Bitmap, IDC_STATIC, "", 10, 7, 49, 106, 0, 137),
        MakeControl(ControlKind::Static, 1013, "warning", 106, 7, 209, 63),
        MakeControl(ControlKind::Bitmap, IDC_STATIC, "", 11, 191, 299, 1, 0, 140),
        MakeControl(ControlKind::DefPushButton, IDOK, "确定", 106, 201, 50, 14),
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 193, 201, 50, 14),
    };
    return t;
}

DialogTemplate MainTemplate() {
    DialogTemplate t = Dialog(102, "", 167, 37);
    t.controls = {
        MakeControl(ControlKind::Static, IDC_STATIC, "是否拷贝流媒体文件", 38, 3, 87, 16),
        MakeControl(ControlKind::DefPushButton, IDOK, "是", 15, 23, 50, 14),
        MakeControl(ControlKind::PushButton, IDCANCEL, "否", 86, 23, 50, 14),
    };
    return t;
}

CTempDir::CTempDir() {
    char pattern[] = "/tmp/tv_qt_XXXXXX";
    const char* dir = mkdtemp(pattern);
    m_strPath = dir != nullptr ? dir : "";
}

CTempDir::~CTempDir() {
    if (!m_strPath.empty()) {
        QDir(QString::fromStdString(m_strPath)).removeRecursively();
    }
}

QString Gbk(const char* gbk) {
    return FromGbk(gbk);
}

}  // namespace ui::qt::test
