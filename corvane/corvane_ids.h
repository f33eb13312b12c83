// The update control's fixed identifiers: class ids, ProgID, interface and
// type-library ids, dispatch ids, resource ids. Course pages, the installer
// and the setup step depend on them.
#pragma once

#include "common/program_codes.h"
#include "platform/com/dispatch.h"
#include "platform/com/guid.h"
#include "platform/error/error.h"
#include "platform/ui/ui.h"

// The control's class id as dialog templates write it (braces included).
inline constexpr const char* kCorvaneClsidText = "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}";
inline constexpr CLSID CLSID_Corvane = com::MakeGuid("{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}");
inline constexpr const char* kCorvaneProgId = kUpdateControlProgId;

// The ids the programs share (common/program_codes.h) and the module's own
// must be one and the same.
constexpr bool SameClassIdText(const char* bare, const char* braced) {
    if (braced[0] != '{') {
        return false;
    }
    int i = 0;
    for (; bare[i] != 0; ++i) {
        if (bare[i] != braced[i + 1]) {
            return false;
        }
    }
    return braced[i + 1] == '}' && braced[i + 2] == 0;
}
static_assert(SameClassIdText(kUpdateControlClsid, "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}"));
inline constexpr IID IID__DCorvane = com::MakeGuid("{D859ECBC-AC41-49F5-91EB-16897764BA6C}");
inline constexpr IID IID__DCorvaneEvents = com::MakeGuid("{2DACD95C-900A-49FB-9DBF-F2F1965FA9C6}");
inline constexpr GUID LIBID_CORVANELib = com::MakeGuid("{552E4250-F0D6-4B40-BAE9-744E5208F339}");
inline constexpr WORD kCorvaneLibMajor = 1;
inline constexpr WORD kCorvaneLibMinor = 0;
inline constexpr CLSID CLSID_CorvanePropPage =
    com::MakeGuid("{98A4DD9B-5699-40F3-AE7E-608BA265E764}");
// Named for completeness: the property page has no ProgID entry.
inline constexpr const char* kCorvanePropPageProgId = "CORVANE.CorvanePropPage.1";

// OLEMISC_SETCLIENTSITEFIRST | ACTIVATEWHENVISIBLE | INSIDEOUT |
// CANTLINKINSIDE | RECOMPOSEONRESIZE
inline constexpr DWORD kCorvaneMiscStatus = 0x00020191;
// The property-set version the control stores.
inline constexpr DWORD kCorvanePropVersion = 0x00010000;

// _DCorvane, in table order.
enum : DISPID {
    dispidPutInfo = 1,
    dispidDownload = 2,
    dispidHtmlInfo = 3,
    dispidGetCdDrive = 4,
    dispidFindFile = 5,
    dispidFindInfo = 6,
    dispidRightMFile = 7,
};

// Strings.
enum : unsigned {
    IDS_CORVANE = 1,
    IDS_CORVANE_PPG = 2,
    IDS_CORVANE_PPG_CAPTION = 200,
};

// Dialogs, their controls and images.
enum : int {
    IDD_ABOUTBOX_CORVANE = 1,
    IDD_PROPPAGE_CORVANE = 200,
    IDD_INSERT_CD = 221,
    IDC_INSERT_CD_ICON = 219,
    IDC_INSERT_CD_TEXT = 221,
    IDI_ABOUTDLL = 1,
    IDB_CORVANE = 1,
    IDI_NOTICE = 217,
    IDI_UPDATE = 220,
    // The login dialog: user name and password.
    IDD_LOGIN = 211,
    IDC_LOGIN_USER = 211,
    IDC_LOGIN_PASSWORD = 208,
    // The offer: its text and the button that opens the explanation page.
    IDD_UPDATE_OFFER = 218,
    IDC_OFFER_TEXT = 214,
    IDC_OFFER_EXPLAIN = 215,
    // The download progress window.
    IDD_DOWNLOAD_PROGRESS = 219,
    IDC_DOWNLOAD_FILE = 216,
    IDC_DOWNLOAD_PROGRESS = 218,
};

// The progress notice of a package download (both parameters 0; the
// percentage travels in g_nDownloadPercent).
enum : UINT { WM_DOWNLOAD_PROGRESS = WM_USER + 300 };
// The progress dialog's end when the package is complete, and the window
// thread's exit code.
constexpr INT_PTR kDownloadDialogComplete = 1300;
constexpr DWORD kDownloadWindowExit = 1060;
