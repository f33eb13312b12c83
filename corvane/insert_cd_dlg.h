// CInsertCdDlg (dialog 221): asks for the course CD that holds a media file.
// While it is up, inserting a disc does not start the disc's AutoPlay.
#pragma once

#include <string>

#include "platform/ui/ui.h"

class CInsertCdDlg : public CDialog {
public:
    explicit CInsertCdDlg(HWND parent = nullptr);

    const std::string& Text() const { return m_strText; }

protected:
    // Takes the prompt afresh from g_strInsertCdMsg at every showing.
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    std::string m_strText;
    UINT m_uQueryCancelAutoPlay = 0;
};
