// Dialog 138 "请注意": shows the text of g_strPrompt (the request for the
// next CD, or the warning about a wrong one) with 确定 and 取消. Keeps
// AutoPlay away while it is in front, so that the inserted disc doesn't
// start a second installer.
#pragma once

#include <string>

#include "common/cd_drive.h"

class CCdPromptDlg : public CAutoPlayDialog {
public:
    explicit CCdPromptDlg(HWND parent = nullptr);

    std::string m_strWarning;  // static 1013

protected:
    BOOL OnInitDialog() override;
};
