// Dialog 130 "正在安装课件内容": starts the worker, shows its progress
// notices, and when the CD is done either ends (last CD) or asks for the
// next CD, checks the inserted disc and advances the CD counter. Keeps
// AutoPlay away while it is in front.
#pragma once

#include <string>

#include "common/cd_drive.h"
#include "platform/thread/thread.h"

class CWorkThread;

class CCopyProgressDlg : public CAutoPlayDialog {
public:
    explicit CCopyProgressDlg(HWND parent = nullptr);

    // The check of the disc now in g_strCdRoot (see inserted_cd_check.h);
    // an error during the check is shown and counts as the wrong CD.
    bool CheckInsertedCd();

    std::string m_strFile;  // static 1011: the file being copied
    bool m_bNameMatched = false;
    std::string m_strCdCourseName;
    // The worker; it ends its thread itself and is deleted when its thread
    // ends, so it is not to be used once the CD is done.
    CWorkThread* m_pWorker = nullptr;

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Creates and starts the worker; false when it can't be started.
    virtual bool StartWorker();
    // The CD prompt, modal over this window; returns how it ended.
    virtual INT_PTR ShowCdPrompt();

private:
    LRESULT OnInstallProgress();
    LRESULT OnInstallCdDone();
    void ShowProgress();
    void AskForNextCd(const std::string& prompt);
    // True (and the dialog ended) when asking can't go on: the prompt
    // can't be shown, or the program is asked to quit.
    bool StopAsking(INT_PTR answer);
    bool ConfirmGiveUp();
    // Tells that setup.ini could not be moved on to the next CD, and why.
    void ReportCounterNotAdvanced();
    void Abort();

    HTHREAD m_hWorkerThread;
};
