// The installer's dialogs, described as its resource script describes them
// (dialog units; font 宋体 9). The icon and the bitmaps are named by id; the
// renderers draw their defaults for them.
#include "install/resources.h"

#include "platform/ui/ui.h"

namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU;

DialogTemplate InstallDialog() {
    DialogTemplate d = MakeDialog(IDD_INSTALL_DIALOG, "", 167, 37, kDialogStyle);
    d.controls = {
        MakeControl(ControlKind::Static, IDC_STATIC, "是否拷贝流媒体文件", 38, 3, 87, 16),
        MakeControl(ControlKind::DefPushButton, IDOK, "是", 15, 23, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::PushButton, IDCANCEL, "否", 86, 23, 50, 14, WS_TABSTOP),
    };
    return d;
}

// Modal frame and caption, no system menu and no buttons: the window closes
// when the worker is done.
DialogTemplate CopyProgressDialog() {
    DialogTemplate d =
        MakeDialog(IDD_COPY_PROGRESS, "正在安装课件内容", 322, 221, DS_MODALFRAME | WS_CAPTION);
    d.controls = {
        MakeControl(ControlKind::Bitmap, IDC_STATIC, "", 6, 14, 49, 106, 0, IDB_INSTALL_PICTURE),
        MakeControl(ControlKind::Static, IDC_COPY_STATE, "文件拷贝中. . . ", 97, 14, 81, 12),
        MakeControl(ControlKind::GroupBox, IDC_STATIC, "当前文件", 97, 30, 221, 93),
        MakeControl(ControlKind::Static, IDC_STATIC, "正在复制文件：", 108, 43, 57, 8),
        MakeControl(ControlKind::Static, IDC_FILE_NAME, "test", 109, 65, 200, 8, SS_PATHELLIPSIS),
        MakeControl(ControlKind::Progress, IDC_PROGRESS_FILE, "", 108, 90, 200, 15, WS_BORDER),
        MakeControl(ControlKind::GroupBox, IDC_STATIC, "全部文件", 96, 139, 222, 39),
        MakeControl(ControlKind::Progress, IDC_PROGRESS_ALL, "", 107, 157, 200, 15, WS_BORDER),
    };
    return d;
}

DialogTemplate CdPromptDialog() {
    DialogTemplate d = MakeDialog(IDD_CD_PROMPT, "请注意", 322, 221, kDialogStyle);
    d.controls = {
        MakeControl(ControlKind::Bitmap, IDC_STATIC, "", 10, 7, 49, 106, 0, IDB_INSTALL_PICTURE),
        MakeControl(ControlKind::Static, IDC_WARNING, "warning", 106, 7, 209, 63),
        MakeControl(ControlKind::Bitmap, IDC_STATIC, "", 11, 191, 299, 1, 0, IDB_RULE),
        MakeControl(ControlKind::DefPushButton, IDOK, "确定", 106, 201, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 193, 201, 50, 14, WS_TABSTOP),
    };
    return d;
}

}  // namespace

void RegisterInstallResources() {
    RegisterDialogTemplate(InstallDialog());
    RegisterDialogTemplate(CopyProgressDialog());
    RegisterDialogTemplate(CdPromptDialog());
}
