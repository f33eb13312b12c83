// Running the installer once per CD and telling how the installation ended.
//
// The installer ends every normal run (CD copied, the next disc confirmed,
// or the user giving up) with its quit code 1011 (media copied) or 1012
// (media skipped), which Linux keeps as the exit status 243 or 244. It
// ends with 1004, 1008 or 1009 when the media decision file, setup.ini or the
// course record can't be used. A failure of its worker thread also ends in
// 1011/1012, so the outcome is read from the course folder too: fail.txt
// when the user gave up, the advanced CD counter after a CD that is not the
// last, the patched navigation page after the last one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/setup/course_folder.h"

enum class InstallOutcome { Installed, Abandoned, Failed };

// telvora-setup's exit status for an outcome: 0, 1 or 2.
int ExitStatusOf(InstallOutcome outcome);

// What an exit status of the installer means ("" for the two normal ends).
std::string DescribeInstallerStatus(int status);

// The nowcd number of the course's setup.ini; 0 when it can't be read.
int ReadNowCd(const CoursePlace& place);

// True when the last CD's page patching has left its marks: the update
// control in navbar\navbar.htm, the chapter list starting at chapter 1 and no
// scratch file left behind.
bool PagesPatched(const CoursePlace& place);

struct InstallRunsResult {
    InstallOutcome outcome = InstallOutcome::Failed;
    std::string message;  // UTF-8, for the terminal
    int cdsDone = 0;
};

// Starts one installer run and returns its exit status (-1: not started).
// nextCd is the folder to insert at its prompt, or "".
using InstallStarter = std::function<int(int cd, const std::string& nextCd)>;

// Runs the installer for the CD in setup.ini's nowcd and for every following
// CD until the last one is done, the user gives up or a run fails. nextCds[i]
// is the folder of CD i + 2, when given. progress is told of each run.
InstallRunsResult RunInstallations(const CoursePlace& place, int totalCd,
                                   const std::vector<std::string>& nextCds,
                                   const InstallStarter& start,
                                   const std::function<void(const std::string&)>& progress);
