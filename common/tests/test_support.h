// A renderer for course-support tests: records every message box and answers
// it with a chosen button, and gives each test a fresh prefix.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/renderer.h"

class CRecordingRenderer : public ui::CQuietRenderer {
public:
    void MessageBoxOpened(const ui::MessageBoxInfo& info) override;

    std::vector<ui::MessageBoxInfo> Boxes();
    int m_nAnswer = IDOK;

private:
    std::mutex m_mutex;
    std::vector<ui::MessageBoxInfo> m_boxes;
};

// Installs a recording renderer and a fresh prefix (with no drives but C:
// and no mounted discs) for the duration of a test.
class CourseTestEnv {
public:
    CourseTestEnv();
    ~CourseTestEnv();
    std::shared_ptr<CRecordingRenderer> renderer;
    std::string root;  // a scratch folder (Unix path) inside the prefix's parent
    // Writes a file (Unix path) with exactly these bytes.
    static void WriteFile(const std::string& unixPath, const std::string& bytes);
    static std::string ReadFile(const std::string& unixPath);
};
