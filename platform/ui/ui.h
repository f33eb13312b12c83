// Windows, message queues and dialogs, the way the system's programs expect
// them: every thread that creates a window has a queue; messages are posted
// from any thread and sent directly or across threads; quit requests follow
// the desktop rules; modal dialogs and message boxes run nested loops on the
// calling thread. What the user sees is drawn by a renderer (headless or Qt)
// behind platform/ui/renderer.h; code written against this header does not
// know which one runs.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/error/error.h"

// ---- basic types --------------------------------------------------------

struct HWND__;
using HWND = HWND__*;  // an id, never a pointer to memory: stale handles are harmless
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// Packing of two 16-bit halves, as WM_COMMAND and PBM_SETRANGE carry them.
constexpr WORD LOWORD(std::uintptr_t v) {
    return static_cast<WORD>(v & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t v) {
    return static_cast<WORD>((v >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
    return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high) {
    return static_cast<LPARAM>(static_cast<std::uint32_t>(low) |
                               (static_cast<std::uint32_t>(high) << 16));
}

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_SETTEXT = 0x000C,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_SHOWWINDOW = 0x0018,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_TIMER = 0x0113,
    WM_USER = 0x0400,
    WM_APP = 0x8000,
};

enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };
enum : int { IDC_STATIC = -1 };
enum : WORD { BN_CLICKED = 0 };  // WM_COMMAND's notification code for a button

// ---- queues and messages ------------------------------------------------

// Queue a message to the thread that owns hwnd (any thread may call). False
// for an invalid window. hwnd null posts to the calling thread.
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
// Call the window procedure: directly on the owning thread; from another
// thread the call waits until the owner handles it in its loop.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Ask the calling thread's loops to end with code: the request is seen once
// no posted message is left; the last code requested wins.
void PostQuitMessage(int exitCode);
// Retrieve the next message of the calling thread, waiting for one. Returns
// FALSE (0) for WM_QUIT (from a quit request or a posted WM_QUIT), TRUE
// otherwise. hwndFilter and the range are accepted and ignored except null.
BOOL GetMessage(MSG* msg, HWND hwndFilter, UINT first, UINT last);
enum : UINT { PM_NOREMOVE = 0, PM_REMOVE = 1 };
BOOL PeekMessage(MSG* msg, HWND hwndFilter, UINT first, UINT last, UINT removeFlags);
LRESULT DispatchMessage(const MSG* msg);
// Like GetMessage, with a time-out: false on time-out (msg untouched).
bool WaitMessageFor(DWORD timeoutMs);
// The plain loop: GetMessage / DispatchMessage until WM_QUIT; returns its code.
int RunMessageLoop();
// True when a quit request or a posted WM_QUIT waits on the calling thread.
bool IsQuitPending(int* exitCode = nullptr);

// Same name, same id within the process (ids from 0xC000 up); 0 for an
// empty name.
UINT RegisterWindowMessage(const char* name);

// ---- windows ------------------------------------------------------------

// A plain window owned by the calling thread, with a procedure (null: the
// default one). parent null makes a top-level window. unicode sets the
// narrow/wide flag.
HWND CreateWindowWithProc(WNDPROC proc, HWND parent, const std::string& title, bool unicode = false,
                          int controlId = 0);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
HWND GetParent(HWND hwnd);
BOOL IsWindowUnicode(HWND hwnd);
DWORD GetWindowThreadId(HWND hwnd);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

enum : int { GWLP_WNDPROC = -4, GWLP_USERDATA = -21, DWLP_MSGRESULT = 0 };
// Replace / read a window's procedure, user data or (for dialogs) the message
// result. The A and W forms differ only in which flag they record, as on the
// desktop system.
using LONG_PTR = std::intptr_t;
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtr(HWND hwnd, int index);
inline LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    return SetWindowLongPtrA(hwnd, index, value);
}
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOW = 5, SW_SHOWMAXIMIZED = 3 };
BOOL ShowWindow(HWND hwnd, int cmd);

// Window order and placement: HWND_TOPMOST, HWND_NOTOPMOST, HWND_BOTTOM as
// insertAfter; x/y in screen pixels.
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))
enum : UINT { SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004 };
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);

// Text of a window or of a dialog's control (GBK).
BOOL SetWindowText(HWND hwnd, const std::string& text);
std::string GetWindowText(HWND hwnd);
HWND GetDlgItem(HWND dialog, int controlId);
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemText(HWND dialog, int controlId, const std::string& text);
std::string GetDlgItemText(HWND dialog, int controlId);

// Progress bars: range 0..100 unless set.
enum : UINT { PBM_SETRANGE = WM_USER + 1, PBM_SETPOS = WM_USER + 2, PBM_GETPOS = WM_USER + 8 };
LRESULT SendDlgItemMessage(HWND dialog, int controlId, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- resources ----------------------------------------------------------

// Dialog templates are data, described the way a resource script would.
// Sizes and positions are in dialog units; texts are GBK.
enum class ControlKind {
    Static,  // text
    Edit,    // style EditPassword masks it
    PushButton,
    DefPushButton,
    GroupBox,
    Progress,
    Bitmap,         // imageId names a bitmap resource
    Icon,           // imageId names an icon resource
    HostedControl,  // clsid names the component to host
};

enum : DWORD {
    // dialog styles
    DS_MODALFRAME = 0x0080,
    WS_CAPTION = 0x00C00000,
    WS_SYSMENU = 0x00080000,
    WS_CHILD = 0x40000000,
    // control styles
    ES_PASSWORD = 0x0020,
    ES_AUTOHSCROLL = 0x0080,
    WS_BORDER = 0x00800000,
    WS_TABSTOP = 0x00010000,
    SS_CENTER = 0x0001,
    // A path shown on one line, shortened in the middle ("...") when it does
    // not fit, keeping its last name.
    SS_PATHELLIPSIS = 0x8000,
};

struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    int id = IDC_STATIC;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
    int imageId = 0;    // Bitmap, Icon
    std::string clsid;  // HostedControl: "{...}"
};

struct DialogTemplate {
    int id = 0;
    std::string title;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string fontName;  // GBK, e.g. "宋体"
    int fontSize = 9;      // points
    DWORD style = DS_MODALFRAME | WS_CAPTION;
    std::vector<ControlTemplate> controls;
};

// A resource script's lines as code, for each program's resources.cpp: one
// control (kind, id, text, rectangle in dialog units, style, image), and a
// dialog with its title, size, style and font.
ControlTemplate MakeControl(ControlKind kind, int id, const std::string& text, int x, int y, int cx,
                            int cy, DWORD style = 0, int imageId = 0);
DialogTemplate MakeDialog(int id, const std::string& title, int cx, int cy,
                          DWORD style = DS_MODALFRAME | WS_CAPTION,
                          const std::string& fontName = "宋体", int fontSize = 9);

// Each program registers its templates at start (its resources.cpp). A second
// registration of an id replaces the first.
void RegisterDialogTemplate(const DialogTemplate& tmpl);
const DialogTemplate* FindDialogTemplate(int id);

// Images the templates name (bitmaps and icons): PNG bytes, registered by the
// program. A missing image is drawn as an empty frame.
void RegisterImage(int id, std::vector<unsigned char> png);
const std::vector<unsigned char>* FindImage(int id);

// ---- dialogs ------------------------------------------------------------

// The framework's dialog class. DoModal opens the template as a window owned
// by the calling thread, runs OnInitDialog, then a nested message loop that
// keeps handling the thread's other messages, until EndDialog. A quit request
// (or a posted WM_QUIT) ends the loop, DoModal returns IDCANCEL... unless
// EndDialog gave a result first, and the quit is passed on to the enclosing
// loop. A hosted control that cannot be created ends DoModal with -1 before
// OnInitDialog runs.
class CDialog {
public:
    explicit CDialog(int templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    int TemplateId() const { return m_nTemplateId; }

    // Member binding: UpdateData(FALSE) writes bound members into their
    // controls, UpdateData(TRUE) reads the controls back.
    void BindText(int controlId, std::string* member);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    virtual BOOL OnInitDialog();  // default: UpdateData(FALSE); TRUE
    virtual void OnOK();          // default: UpdateData(TRUE); EndDialog(IDOK)
    virtual void OnCancel();      // default: EndDialog(IDCANCEL)
    // The dialog's window procedure: WM_COMMAND IDOK / IDCANCEL call OnOK /
    // OnCancel, WM_CLOSE calls OnCancel, everything else goes to
    // DefWindowProc. Override to handle own messages, calling the base for
    // the rest.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    HWND m_hParent = nullptr;

private:
    friend LRESULT DialogProcThunk(HWND, UINT, WPARAM, LPARAM);
    int m_nTemplateId;
    std::vector<std::pair<int, std::string*>> m_bindings;
    bool m_bEnded = false;
    INT_PTR m_nResult = IDCANCEL;
};

// ---- message boxes ------------------------------------------------------

enum : UINT {
    MB_OK = 0x0000,
    MB_OKCANCEL = 0x0001,
    MB_YESNO = 0x0004,
    // The second button is the default one. A Yes/No box whose default is
    // No also takes Escape and its close box as No.
    MB_DEFBUTTON2 = 0x0100,
    MB_ICONEXCLAMATION = 0x0030,
    MB_ICONWARNING = MB_ICONEXCLAMATION,
    MB_ICONINFORMATION = 0x0040,
    MB_ICONERROR = 0x0010,
    MB_TOPMOST = 0x00040000,
};

// A modal message box on the calling thread (owner may be null), running a
// nested loop like a dialog. Returns IDOK / IDCANCEL / IDYES / IDNO; a quit
// request ends it with the default result (IDOK for MB_OK, IDCANCEL for
// OK/Cancel) and is passed on.
int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// A window of another process (its native id in the window system, 0 for
// none) above which this process's ownerless dialogs and message boxes come
// up: the course browser's window, for the controls its pages host in
// another process.
void SetForeignOwnerWindow(std::uint64_t nativeId);
std::uint64_t GetForeignOwnerWindow();

// The program's name (the caption of application message boxes): set once at
// start by the program entry.
void SetAppName(const std::string& gbkName);
const std::string& GetAppName();
// An application message box: caption = the program's name.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
