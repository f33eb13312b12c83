#include "platform/ui/tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace uitest {

std::vector<Event> CRecorder::Events() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<Event> CRecorder::OfKind(const std::string& kind) {
    std::vector<Event> out;
    for (Event& e : Events()) {
        if (e.kind == kind) {
            out.push_back(e);
        }
    }
    return out;
}

bool CRecorder::WaitFor(const std::function<bool(const std::vector<Event>&)>& pred, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return pred(m_events); });
}

void CRecorder::Add(Event event) {
    event.threadId = GetCurrentThreadId();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_changed.notify_all();
}

namespace {
Event E(const char* kind, HWND hwnd, int id = 0, long long value = 0, std::string text = "") {
    Event e;
    e.kind = kind;
    e.hwnd = hwnd;
    e.id = id;
    e.value = value;
    e.text = std::move(text);
    return e;
}
}  // namespace

void CRecorder::DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND) {
    Add(E("open", dlg, tmpl.id, 0, tmpl.title));
}
void CRecorder::DialogStarted(HWND dlg) {
    Add(E("started", dlg));
    if (onStarted) {
        onStarted(dlg);
    }
}
void CRecorder::ControlTextChanged(HWND dlg, int controlId, const std::string& text) {
    Add(E("text", dlg, controlId, 0, text));
}
void CRecorder::ProgressChanged(HWND dlg, int controlId, int pos) {
    Add(E("progress", dlg, controlId, pos));
}
void CRecorder::WindowShown(HWND dlg, int showCmd) {
    Add(E("shown", dlg, showCmd));
}
void CRecorder::WindowPlaced(HWND dlg, HWND insertAfter, bool moved, int x, int y) {
    Event e = E("placed", dlg, y, x);
    e.text = insertAfter == HWND_TOPMOST     ? "topmost"
             : insertAfter == HWND_NOTOPMOST ? "notopmost"
             : insertAfter == HWND_BOTTOM    ? "bottom"
                                             : "";
    e.flag = moved;
    Add(e);
}
void CRecorder::ButtonPressed(HWND dlg, int buttonId, bool answered) {
    Event e = E("press", dlg, buttonId);
    e.flag = answered;
    Add(e);
}
void CRecorder::DialogClosed(HWND dlg, INT_PTR result) {
    Add(E("closed", dlg, 0, result));
}
void CRecorder::MessageBoxOpened(const ui::MessageBoxInfo& info) {
    Add(E("box", info.box, static_cast<int>(info.type), 0, info.text));
    if (onBox) {
        onBox(info);
    }
}
void CRecorder::MessageBoxClosed(HWND box, int result, bool answered) {
    Event e = E("boxclosed", box, 0, result);
    e.flag = answered;
    Add(e);
}
void CRecorder::AnswerTimedOut(HWND window, const char* action) {
    Add(E("timeout", window, 0, 0, action));
}
void CRecorder::ProgramExited(const std::string& program, int code) {
    Add(E("exit", nullptr, 0, code, program));
}

void CEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_set = true;
    }
    m_cv.notify_all();
}

bool CEvent::Wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_set; });
}

CScopedRenderers::CScopedRenderers(std::shared_ptr<ui::IRenderer> primary,
                                   std::vector<std::shared_ptr<ui::IRenderer>> observers) {
    ui::ClearRenderers();
    ui::SetPrimaryRenderer(std::move(primary));
    for (auto& observer : observers) {
        ui::AddObserver(std::move(observer));
    }
}

CScopedRenderers::~CScopedRenderers() {
    ui::ClearRenderers();
}

DWORD RunOnFreshThread(const std::function<void()>& body, DWORD timeoutMs) {
    HTHREAD thread = StartThread([&body]() -> DWORD {
        body();
        return 0;
    });
    EXPECT_TRUE(thread);
    if (!thread) {
        return STILL_ACTIVE;
    }
    // A case that hangs fails here; the thread is then left behind (it refers
    // to body, so the process must not go on for long: abort loudly).
    if (WaitForThread(thread, timeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the case's thread did not end in time";
        std::abort();
    }
    return GetExitCodeThread(thread);
}

void RegisterTestDialogs() {
    auto control = [](ControlKind kind, int id, const char* text, DWORD style = 0) {
        return MakeControl(kind, id, text, 0, 0, 50, 14, style);
    };
    DialogTemplate form;
    form.id = kDialogForm;
    form.title = "测试对话框";
    form.cx = 200;
    form.cy = 120;
    form.fontName = "宋体";
    form.controls = {control(ControlKind::Static, 1001, "初始文字"),
                     control(ControlKind::Edit, 1002, ""),
                     control(ControlKind::Edit, 1003, "", ES_PASSWORD),
                     control(ControlKind::Progress, 1004, ""),
                     control(ControlKind::Static, IDC_STATIC, "标签："),
                     control(ControlKind::DefPushButton, IDOK, "确定"),
                     control(ControlKind::PushButton, IDCANCEL, "取消")};
    RegisterDialogTemplate(form);

    DialogTemplate progress;
    progress.id = kDialogProgress;
    progress.title = "正在安装课件内容";
    progress.controls = {control(ControlKind::Static, 1011, "test"),
                         control(ControlKind::Progress, 1000, ""),
                         control(ControlKind::Progress, 1001, "")};
    RegisterDialogTemplate(progress);

    DialogTemplate hosted;
    hosted.id = kDialogHosted;
    hosted.title = "lesson";
    ControlTemplate update = control(ControlKind::HostedControl, 1028, "");
    update.clsid = "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}";
    hosted.controls = {control(ControlKind::DefPushButton, IDOK, "确定"), update};
    RegisterDialogTemplate(hosted);

    DialogTemplate cancel;
    cancel.id = kDialogCancel;
    cancel.title = "下载";
    cancel.controls = {control(ControlKind::Progress, 1000, ""),
                       control(ControlKind::PushButton, IDCANCEL, "取消")};
    RegisterDialogTemplate(cancel);
}

}  // namespace uitest
