// The launcher's dialogs and strings, described as its resource script
// describes them (dialog units; font 宋体 9). The icon is named by id; the
// renderers draw their default for it.
#include "lesson/resources.h"

#include "common/program_codes.h"
#include "platform/ui/ui.h"

const char kCorvaneInitialState[] = "_Version=65536\n_ExtentX=60\n_ExtentY=25\n_StockProps=0\n";

namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU;

DialogTemplate LessonDialog() {
    DialogTemplate d = MakeDialog(IDD_LESSON_DIALOG, "lesson", 320, 200, kDialogStyle);
    ControlTemplate update =
        MakeControl(ControlKind::HostedControl, IDC_CORVANE, "", 36, 18, 60, 25);
    update.clsid = std::string("{") + kUpdateControlClsid + "}";
    d.controls = {
        MakeControl(ControlKind::DefPushButton, IDOK, "确定", 260, 7, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 260, 23, 50, 14, WS_TABSTOP),
        update,
    };
    return d;
}

DialogTemplate AboutDialog() {
    DialogTemplate d = MakeDialog(IDD_ABOUTBOX, "关于 lesson", 235, 55, kDialogStyle);
    d.controls = {
        MakeControl(ControlKind::Icon, IDC_STATIC, "", 11, 17, 20, 20, 0, IDR_MAINFRAME),
        MakeControl(ControlKind::Static, IDC_STATIC, "lesson 1.0 版", 40, 10, 119, 8),
        MakeControl(ControlKind::Static, IDC_STATIC, "课件启动程序", 40, 25, 119, 8),
        MakeControl(ControlKind::DefPushButton, IDOK, "确定", 178, 7, 50, 14, WS_TABSTOP),
    };
    return d;
}

}  // namespace

void RegisterLessonResources() {
    RegisterDialogTemplate(LessonDialog());
    RegisterDialogTemplate(AboutDialog());
}

std::string LoadLessonString(unsigned id) {
    switch (id) {
        case IDS_ABOUTBOX:
            return "关于 lesson(&A)...";
        default:
            return "";
    }
}
