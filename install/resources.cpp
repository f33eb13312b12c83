// The installer's dialogs, described as its resource script describes them
// (dialog units; font 宋体 9). The icon and the bitmaps are named by id; the
// renderers draw their defaults for them.
#include "install/resources.h"

#include "platform/ui/ui.h"

namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU;

ControlTemplate Control(ControlKind kind, int id, const char* text, int x, int y, int cx, int cy,
                        DWORD style = 0, int imageId = 0) {
    ControlTemplate c;
    c.kind = kind;
    c.id = id;
    c.text = text;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    c.style = style;
    c.imageId = imageId;
    return c;
}

DialogTemplate Dialog(int id, const char* title, int cx, int cy, DWORD style) {
    DialogTemplate d;
    d.id = id;
    d.title = title;
    d.cx = cx;
    d.cy = cy;
    d.fontName = "宋体";
    d.fontSize = 9;
    d.style = style;
    return d;
}

DialogTemplate InstallDialog() {
    DialogTemplate d = Dialog(IDD_INSTALL_DIALOG, "", 167, 37, kDialogStyle);
    d.controls = {
        Control(ControlKind::Static, IDC_STATIC, "是否拷贝流媒体文件", 38, 3, 87, 16),
        Control(ControlKind::DefPushButton, IDOK, "是", 15, 23, 50, 14, WS_TABSTOP),
        Control(ControlKind::PushButton, IDCANCEL, "否", 86, 23, 50, 14, WS_TABSTOP),
    };
    return d;
}

// Modal frame and caption, no system menu and no buttons: the window closes
// when the worker is done.
DialogTemplate CopyProgressDialog() {
    DialogTemplate d =
        Dialog(IDD_COPY_PROGRESS, "正在安装课件内容", 322, 221, DS_MODALFRAME | WS_CAPTION);
    d.controls = {
        Control(ControlKind::Bitmap, IDC_STATIC, "", 6, 14, 49, 106, 0, IDB_INSTALL_PICTURE),
        Control(ControlKind::Static, IDC_COPY_STATE, "文件拷贝中. . . ", 97, 14, 81, 12),
        Control(ControlKind::GroupBox, IDC_STATIC, "当前文件", 97, 30, 221, 93),
        Control(ControlKind::Static, IDC_STATIC, "正在复制文件：", 108, 43, 57, 8),
        Control(ControlKind::Static, IDC_FILE_NAME, "test", 109, 65, 200, 8),
        Control(ControlKind::Progress, IDC_PROGRESS_FILE, "", 108, 90, 200, 15, WS_BORDER),
        Control(ControlKind::GroupBox, IDC_STATIC, "全部文件", 96, 139, 222, 39),
        Control(ControlKind::Progress, IDC_PROGRESS_ALL, "", 107, 157, 200, 15, WS_BORDER),
    };
    return d;
}

DialogTemplate CdPromptDialog() {
    DialogTemplate d = Dialog(IDD_CD_PROMPT, "请注意", 322, 221, kDialogStyle);
    d.controls = {
        Control(ControlKind::Bitmap, IDC_STATIC, "", 10, 7, 49, 106, 0, IDB_INSTALL_PICTURE),
        Control(ControlKind::Static, IDC_WARNING, "warning", 106, 7, 209, 63),
        Control(ControlKind::Bitmap, IDC_STATIC, "", 11, 191, 299, 1, 0, IDB_RULE),
        Control(ControlKind::DefPushButton, IDOK, "确定", 106, 201, 50, 14, WS_TABSTOP),
        Control(ControlKind::PushButton, IDCANCEL, "取消", 193, 201, 50, 14, WS_TABSTOP),
    };
    return d;
}

}  // namespace

void RegisterInstallResources() {
    RegisterDialogTemplate(InstallDialog());
    RegisterDialogTemplate(CopyProgressDialog());
    RegisterDialogTemplate(CdPromptDialog());
}
