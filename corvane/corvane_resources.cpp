#include "corvane/corvane_resources.h"

#include "corvane/corvane_ids.h"
#include "platform/ui/ui.h"

namespace {

constexpr unsigned char kIcon1Png[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x08, 0x06, 0x00, 0x00, 0x00, 0x73, 0x7A, 0x7A,
    0xF4, 0x00, 0x00, 0x00, 0xBA, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0xED, 0x97, 0x31, 0x0E, 0x80,
    0x30, 0x08, 0x45, 0x3D, 0x89, 0xB3, 0x87, 0xE8, 0x11, 0x3D, 0x84, 0xF7, 0x73, 0x71, 0x76, 0xD1,
    0xC9, 0x44, 0x4D, 0x69, 0x3F, 0x94, 0x6F, 0x6B, 0x94, 0x84, 0xB5, 0xFF, 0x95, 0x02, 0x85, 0xAE,
    0x7B, 0x9B, 0xF5, 0x61, 0xDC, 0x52, 0x5E, 0x45, 0x94, 0x0A, 0x73, 0x3E, 0x70, 0x5E, 0x56, 0xC8,
    0x5D, 0x20, 0x2C, 0xC2, 0x6E, 0x20, 0x39, 0xF1, 0x61, 0x0A, 0x51, 0x77, 0x81, 0x90, 0x84, 0x25,
    0x51, 0x14, 0x06, 0x86, 0x88, 0x01, 0x68, 0xC5, 0x63, 0x10, 0x10, 0x00, 0x2A, 0x2E, 0xBD, 0x79,
    0x11, 0x04, 0x22, 0x8E, 0x26, 0x9F, 0x09, 0x22, 0x07, 0xA0, 0xAD, 0x00, 0x09, 0x22, 0x09, 0x60,
    0x2D, 0x37, 0x04, 0xE2, 0x1E, 0x05, 0x28, 0xF3, 0x25, 0x97, 0x4C, 0x03, 0x70, 0x81, 0xD0, 0x00,
    0x1C, 0x76, 0x6F, 0xBB, 0x1A, 0x88, 0x62, 0x00, 0xA9, 0xF7, 0xFF, 0x00, 0xDF, 0x01, 0xA8, 0x9A,
    0x84, 0x94, 0x32, 0xAC, 0xDE, 0x88, 0x2C, 0x51, 0xA0, 0xB4, 0x62, 0x2F, 0x00, 0xD7, 0x1F, 0xB1,
    0x44, 0xD8, 0x6D, 0x26, 0xA0, 0xDF, 0x9C, 0x11, 0x05, 0xF3, 0x48, 0xE6, 0x35, 0x11, 0xD3, 0x27,
    0xE3, 0xA6, 0xF7, 0x03, 0xEA, 0x76, 0xF4, 0xF8, 0x6A, 0xD6, 0xC4, 0x72, 0xCA, 0xB4, 0x1D, 0xE8,
    0x08, 0x8D, 0xBB, 0xE4, 0x6D, 0xDF, 0x76, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE,
    0x42, 0x60, 0x82,
};
constexpr unsigned char kBitmap1Png[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x0F, 0x08, 0x06, 0x00, 0x00, 0x00, 0xED, 0x73, 0x4F,
    0x2F, 0x00, 0x00, 0x00, 0x46, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x38, 0x70, 0xE0, 0xC0,
    0x7F, 0x4A, 0x30, 0x03, 0x86, 0x00, 0x03, 0x03, 0x5E, 0x8C, 0xD7, 0x00, 0x98, 0x22, 0x5C, 0x00,
    0x9B, 0x21, 0x0C, 0xC4, 0x6A, 0xC6, 0x65, 0x08, 0x03, 0x29, 0x9A, 0xB1, 0x19, 0x02, 0x37, 0x80,
    0x54, 0x40, 0x3D, 0x03, 0x48, 0x75, 0x3E, 0xBA, 0x37, 0x06, 0x81, 0x17, 0xA8, 0x12, 0x0B, 0x14,
    0xA7, 0x03, 0xAA, 0xA4, 0x44, 0xAA, 0xE4, 0x05, 0x72, 0x30, 0x00, 0x85, 0x4B, 0xE5, 0xEB, 0x6F,
    0x6E, 0x6F, 0x60, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
};

DialogTemplate AboutBox() {
    DialogTemplate d = MakeDialog(IDD_ABOUTBOX_CORVANE, "About Corvane Control", 260, 55,
                                  DS_MODALFRAME | WS_CAPTION | WS_SYSMENU, "MS Sans Serif", 8);
    d.x = 34;
    d.y = 22;
    d.controls = {
        MakeControl(ControlKind::Icon, IDC_STATIC, "", 10, 10, 20, 20, 0, IDI_ABOUTDLL),
        MakeControl(ControlKind::Static, IDC_STATIC, "Corvane Control, Version 1.0", 40, 10, 170,
                    8),
        MakeControl(ControlKind::Static, IDC_STATIC, "Telvora courseware update control", 40, 25,
                    170, 8),
        MakeControl(ControlKind::DefPushButton, IDOK, "OK", 221, 7, 32, 14, WS_TABSTOP),
    };
    return d;
}

DialogTemplate PropertyPage() {
    DialogTemplate d = MakeDialog(IDD_PROPPAGE_CORVANE, "", 227, 62, WS_CHILD, "MS Sans Serif", 8);
    d.controls = {
        MakeControl(ControlKind::Static, IDC_STATIC,
                    "TODO: Place controls to manipulate properties of Corvane Control on this "
                    "dialog.",
                    7, 7, 213, 48),
    };
    return d;
}

DialogTemplate InsertCd() {
    DialogTemplate d = MakeDialog(IDD_INSERT_CD, "请注意", 200, 89, DS_MODALFRAME | WS_CAPTION);
    d.controls = {
        MakeControl(ControlKind::Icon, IDC_INSERT_CD_ICON, "", 4, 6, 21, 20, 0, IDI_NOTICE),
        MakeControl(ControlKind::Static, IDC_INSERT_CD_TEXT, "", 43, 6, 144, 27),
        MakeControl(ControlKind::DefPushButton, IDOK, "确定", 19, 67, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 100, 67, 50, 14, WS_TABSTOP),
    };
    return d;
}

DialogTemplate Login() {
    DialogTemplate d = MakeDialog(IDD_LOGIN, "请输入", 226, 135, DS_MODALFRAME | WS_CAPTION);
    const DWORD edit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    d.controls = {
        MakeControl(ControlKind::Edit, IDC_LOGIN_USER, "", 101, 58, 52, 12, edit),
        MakeControl(ControlKind::Edit, IDC_LOGIN_PASSWORD, "", 101, 76, 51, 12, edit | ES_PASSWORD),
        MakeControl(ControlKind::DefPushButton, IDOK, "确定", 53, 110, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 124, 110, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::Static, IDC_STATIC, "用户名：", 61, 60, 32, 8),
        MakeControl(ControlKind::Static, IDC_STATIC, "密  码：", 61, 78, 34, 8),
        MakeControl(ControlKind::Static, IDC_STATIC,
                    "您现在可以上网更新课件内容。\n\n请输入用户名和密码。", 52, 13, 118, 29),
    };
    return d;
}

// No close box: the offer is taken or declined with its buttons (or Esc).
DialogTemplate UpdateOffer() {
    DialogTemplate d = MakeDialog(IDD_UPDATE_OFFER, "请选择", 243, 119, DS_MODALFRAME | WS_CAPTION);
    d.controls = {
        MakeControl(ControlKind::DefPushButton, IDOK, "下载", 89, 98, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 161, 98, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::Static, IDC_OFFER_TEXT, "", 53, 15, 188, 54),
        MakeControl(ControlKind::Icon, IDC_STATIC, "", 23, 15, 21, 21, 0, IDI_NOTICE),
        MakeControl(ControlKind::PushButton, IDC_OFFER_EXPLAIN, "更新说明", 21, 98, 50, 14,
                    WS_TABSTOP),
    };
    return d;
}

// No close box either: only "取消" (or Esc) ends it early.
DialogTemplate DownloadProgress() {
    DialogTemplate d =
        MakeDialog(IDD_DOWNLOAD_PROGRESS, "正在下载", 197, 107, DS_MODALFRAME | WS_CAPTION);
    d.controls = {
        MakeControl(ControlKind::PushButton, IDCANCEL, "取消", 68, 86, 50, 14, WS_TABSTOP),
        MakeControl(ControlKind::Static, IDC_STATIC, "正在下载文件：", 13, 11, 87, 8),
        MakeControl(ControlKind::Static, IDC_DOWNLOAD_FILE, "", 13, 33, 153, 8),
        MakeControl(ControlKind::Progress, IDC_DOWNLOAD_PROGRESS, "", 13, 58, 170, 11, WS_BORDER),
    };
    return d;
}

}  // namespace

std::map<unsigned, std::string> CorvaneStrings() {
    return {
        {IDS_CORVANE, "Corvane Control"},
        {IDS_CORVANE_PPG, "Corvane Property Page"},
        {IDS_CORVANE_PPG_CAPTION, "General"},
    };
}

const VersionInfo& CorvaneVersionInfo() {
    static const VersionInfo info{
        {1, 0, 0, 1},
        {1, 0, 0, 1},
        "1, 0, 0, 1",
        "1, 0, 0, 1",
        "corvane ActiveX Control Module",
        "corvane ActiveX Control Module",
        "corvane",
        "corvane.OCX",
        "Telvora",
        "",
        true,
        0x0409,  // English (United States)
        1200,    // Unicode
    };
    return info;
}

const std::vector<unsigned char>& CorvaneToolboxBitmap() {
    static const std::vector<unsigned char> png(std::begin(kBitmap1Png), std::end(kBitmap1Png));
    return png;
}

void RegisterCorvaneResources() {
    RegisterDialogTemplate(AboutBox());
    RegisterDialogTemplate(PropertyPage());
    RegisterDialogTemplate(InsertCd());
    RegisterDialogTemplate(Login());
    RegisterDialogTemplate(UpdateOffer());
    RegisterDialogTemplate(DownloadProgress());
    RegisterImage(IDI_ABOUTDLL,
                  std::vector<unsigned char>(std::begin(kIcon1Png), std::end(kIcon1Png)));
}
