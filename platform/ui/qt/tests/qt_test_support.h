// Shared by the Qt renderer tests: one offscreen application for the whole
// test program, waiting on the GUI's events, and the templates under test.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "platform/ui/ui.h"

namespace ui::qt::test {

// Creates the offscreen application on first use (the test's main thread).
void EnsureApp();

// Runs the GUI's events until done() holds; false after timeoutMs.
bool ProcessUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Runs every event queued so far.
void Drain();

// A window id for renderer calls that never went through the core.
HWND FakeWindow(int n);

// The install progress dialog (130), the login dialog (211), the install
// notice (138) and the main install dialog (102), as the programs describe
// them.
DialogTemplate ProgressTemplate();
DialogTemplate LoginTemplate();
DialogTemplate NoticeTemplate();
DialogTemplate MainTemplate();

// A fresh temporary folder (UTF-8 path), removed with everything in it at
// the end of the test.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

// Text of the tests' narrow (GBK) literals.
QString Gbk(const char* gbk);

}  // namespace ui::qt::test
