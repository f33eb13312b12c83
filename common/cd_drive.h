// Finding the course CD and keeping AutoPlay away while the installer's
// windows are in front.
#pragma once

#include <string>

#include "platform/ui/ui.h"

// The root ("E:\") of the first CD-ROM drive from D: to M:, or "" when none.
std::string FindCdDrive();

// Id of the registered "QueryCancelAutoPlay" message; 0 until registered.
extern UINT g_uQueryCancelAutoPlay;
// Registers the message once per process.
void RegisterQueryCancelAutoPlay();

// The installer's dialog class: answers QueryCancelAutoPlay with the message
// result -1 (cancel AutoPlay) and hands everything else to the dialog's
// default handling.
class CAutoPlayDialog : public CDialog {
public:
    using CDialog::CDialog;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
