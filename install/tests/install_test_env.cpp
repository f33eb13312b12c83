#include "install/tests/install_test_env.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/fs/fs.h"
#include "platform/registry/registry.h"

void CScriptedRenderer::DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_templates[dlg] = tmpl.id;
}

void CScriptedRenderer::DialogStarted(HWND dlg) {
    ui::WindowState state;
    ui::GetWindowState(dlg, &state);
    int press = 0;
    int id = 0;
    int nth = 0;
    std::function<void(int, int)> hook;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        id = m_templates[dlg];
        m_started.emplace_back(id, state);
        for (const auto& started : m_started)
            nth += started.first == id;
        hook = m_hook;
    }
    if (hook)
        hook(id, nth);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<int>& answers = m_dialogAnswers[id];
        if (!answers.empty()) {
            press = answers.front();
            answers.erase(answers.begin());
        }
    }
    if (press != 0)
        ui::PressButton(dlg, press, true);
}

void CScriptedRenderer::MessageBoxOpened(const ui::MessageBoxInfo& info) {
    int press = IDOK;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back(info.text);
        if (!m_boxAnswers.empty()) {
            press = m_boxAnswers.front();
            m_boxAnswers.erase(m_boxAnswers.begin());
        }
    }
    ui::PressButton(info.box, press, true);
}

void CScriptedRenderer::AnswerDialog(int templateId, std::vector<int> buttons) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dialogAnswers[templateId] = std::move(buttons);
}

void CScriptedRenderer::OnDialogStarted(std::function<void(int, int)> hook) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hook = std::move(hook);
}

void CScriptedRenderer::AnswerMessageBoxes(std::vector<int> buttons) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxAnswers = std::move(buttons);
}

std::vector<std::string> CScriptedRenderer::MessageBoxTexts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

std::vector<std::string> CScriptedRenderer::StartTexts(int templateId, int controlId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& [id, state] : m_started) {
        if (id != templateId)
            continue;
        for (const ui::ControlState& control : state.controls)
            if (control.id == controlId)
                texts.push_back(control.text);
    }
    return texts;
}

InstallTestEnv::InstallTestEnv() : renderer(std::make_shared<CScriptedRenderer>()) {
    char tmpl[] = "/tmp/telvora-install-XXXXXX";
    root = mkdtemp(tmpl);
    setenv("TELVORA_PREFIX", (root + "/prefix").c_str(), 1);
    // No disc that happens to be mounted on this machine shows up.
    WriteFile(root + "/mounts", "");
    setenv("TELVORA_MOUNTS_FILE", (root + "/mounts").c_str(), 1);
    cd = root + "/cd";
    course = root + "/disk/course";
    std::filesystem::create_directories(cd);
    std::filesystem::create_directories(course);
    EXPECT_TRUE(SetDriveTarget('e', cd, true));
    EXPECT_TRUE(SetDriveTarget('h', root + "/disk", false));
    courseWin = "H:\\course";
    ui::ClearRenderers();
    ui::SetPrimaryRenderer(renderer);
}

InstallTestEnv::~InstallTestEnv() {
    ui::ClearRenderers();
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root, ec);
}

void InstallTestEnv::WriteFile(const std::string& unixPath, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(unixPath).parent_path());
    std::ofstream out(unixPath, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string InstallTestEnv::ReadFile(const std::string& unixPath) {
    std::ifstream in(unixPath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool InstallTestEnv::Exists(const std::string& unixPath) {
    return std::filesystem::exists(unixPath);
}

void InstallTestEnv::SetInstallRecord(const std::string& courseId, const std::string& folder) {
    ASSERT_TRUE(
        RegPutString(HKEY_CURRENT_USER, "software\\telvora\\" + courseId + "\\1", "", folder));
}

DWORD RunOnThread(const std::function<void()>& fn) {
    HTHREAD thread = StartThread([&fn]() -> DWORD {
        fn();
        return 0;
    });
    if (!thread)
        return STILL_ACTIVE;
    if (WaitForThread(thread, 60000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "worker code did not end";
        return STILL_ACTIVE;
    }
    return GetExitCodeThread(thread);
}
