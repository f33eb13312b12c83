#include "common/tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ui/ui.h"

void CRecordingRenderer::MessageBoxOpened(const ui::MessageBoxInfo& info) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes.push_back(info);
    }
    ui::PressButton(info.box, m_nAnswer, true);
}

std::vector<ui::MessageBoxInfo> CRecordingRenderer::Boxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

CourseTestEnv::CourseTestEnv() : renderer(std::make_shared<CRecordingRenderer>()) {
    char tmpl[] = "/tmp/telvora-common-XXXXXX";
    root = mkdtemp(tmpl);
    setenv("TELVORA_PREFIX", (root + "/prefix").c_str(), 1);
    WriteFile(root + "/mounts", "");
    setenv("TELVORA_MOUNTS_FILE", (root + "/mounts").c_str(), 1);
    ui::ClearRenderers();
    ui::SetPrimaryRenderer(renderer);
}

CourseTestEnv::~CourseTestEnv() {
    ui::ClearRenderers();
    std::error_code ec;
    std::filesystem::permissions(root, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(root, ec);
}

void CourseTestEnv::WriteFile(const std::string& unixPath, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(unixPath).parent_path());
    std::ofstream out(unixPath, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string CourseTestEnv::ReadFile(const std::string& unixPath) {
    std::ifstream in(unixPath, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
