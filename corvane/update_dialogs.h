// The dialogs of an update start and offer: CLoginDlg (211), which asks for
// the user name and password, and CUpdateOfferDlg (218), which offers the
// update with its size and download time.
#pragma once

#include <string>

#include "corvane/corvane_state.h"
#include "platform/ui/ui.h"

// The course the offer is about, set by the worker just before the offer
// dialog shows, for its "更新说明" button.
extern CSharedString g_strOfferFilePath;
extern CSharedString g_strOfferFileName;

class CLoginDlg : public CDialog {
public:
    explicit CLoginDlg(HWND parent = nullptr);

protected:
    // Above every other window at (300, 200), both fields empty.
    BOOL OnInitDialog() override;
    // Stores what the two fields hold in g_strUserName and g_strPassword.
    void OnOK() override;
    // A close request first gives up the topmost place.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class CUpdateOfferDlg : public CDialog {
public:
    explicit CUpdateOfferDlg(HWND parent = nullptr);

    std::string m_strText;  // static 214

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Button 215: the explanation page in the course's browser; the offer
    // stays open.
    void OnExplain();
};
