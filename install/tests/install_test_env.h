// What the installer's tests share: a fresh prefix per test with a course
// CD on drive E: and an installed course folder on drive H:, a renderer that
// records what the user would see and answers from a script, and a way to
// run worker code on a thread of its own (as the installer does), so that
// the quit requests and WM_QUIT it posts stay there.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/renderer.h"

class CScriptedRenderer : public ui::CQuietRenderer {
public:
    void DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) override;
    void DialogStarted(HWND dlg) override;
    void MessageBoxOpened(const ui::MessageBoxInfo& info) override;

    // Buttons to press, in order, on the dialogs made from a template; a
    // dialog with no press left is left alone.
    void AnswerDialog(int templateId, std::vector<int> buttons);
    // Called once each dialog's start has run, before it is answered, with
    // its template id and how many dialogs of that template have started.
    void OnDialogStarted(std::function<void(int templateId, int nth)> hook);
    // Buttons to press, in order, on message boxes; then IDOK.
    void AnswerMessageBoxes(std::vector<int> buttons);

    std::vector<std::string> MessageBoxTexts();
    // The text a control of each dialog from templateId showed once its
    // start had run, in the order the dialogs were shown.
    std::vector<std::string> StartTexts(int templateId, int controlId);

private:
    std::mutex m_mutex;
    std::map<HWND, int> m_templates;
    std::map<int, std::vector<int>> m_dialogAnswers;
    std::vector<int> m_boxAnswers;
    std::vector<std::string> m_boxes;
    std::vector<std::pair<int, ui::WindowState>> m_started;
    std::function<void(int, int)> m_hook;
};

class InstallTestEnv {
public:
    InstallTestEnv();
    ~InstallTestEnv();

    std::shared_ptr<CScriptedRenderer> renderer;
    std::string root;       // scratch folder (Unix path)
    std::string cd;         // Unix folder behind E:\ (a CD-ROM)
    std::string course;     // Unix folder behind H:\course, the installed course
    std::string courseWin;  // "H:\course"

    static void WriteFile(const std::string& unixPath, const std::string& bytes);
    static std::string ReadFile(const std::string& unixPath);
    static bool Exists(const std::string& unixPath);
    // The installed-course record: HKCU\software\telvora\<id>\1 = folder.
    static void SetInstallRecord(const std::string& courseId, const std::string& folder);
};

// Runs fn on a new thread and returns the thread's exit code: 0 when fn
// returns, the code when it ends the thread with ExitThread.
DWORD RunOnThread(const std::function<void()>& fn);
