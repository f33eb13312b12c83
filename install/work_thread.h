// The installer's worker thread: finds the CD drive, reads the course
// description and the installed course folder, builds the folder tree while
// it counts the files to copy, copies them with progress notices to the
// progress dialog and, on the last CD, patches the course pages. It reports
// only by posted notices and ends itself.
#pragma once

#include <string>

#include "install/notice_throttle.h"
#include "platform/fs/tree_copy.h"
#include "platform/thread/thread.h"
#include "platform/ui/ui.h"

// Streaming-media files (asf, wmv, wma, asx, any letter case) are copied
// only when the media decision says so. The extension is the text after the
// last "." of the name, or the whole name when it has none.
bool IsMediaFile(const std::string& fileName);

class CWorkThread : public CWinThread {
public:
    // hNotifyWnd receives the notices; a null or stale window only means
    // that nobody hears them.
    explicit CWorkThread(HWND hNotifyWnd = nullptr);

    // The whole run; ends the thread with 1008, 1009 or 1030.
    DWORD Run() override;

    // Finds the drive, reads setup.ini and the installed course folder,
    // counts and builds the folder tree. 0 when the copy may go on, else the
    // exit code the thread ends with (its message has been shown).
    DWORD PrepareSource();
    // Counting walk: the first call gets the CD root and adds "*.*".
    void CountFiles(const std::string& folderOrPattern, int depth = 0);
    // Copy walk over a search pattern. Both walks take regular files and
    // folders only, follow links only inside the CD and never into a folder
    // already on their path, and so always see the same tree.
    void CopyFiles(const std::string& pattern, int depth = 0);

    // Page patching (page_patching.cpp).
    bool ReadInstallSettings(const std::string& setupIniPath);
    bool PatchNavbar();
    bool CopyTvPages();
    bool PatchExtendName(const std::string& pagePath);
    bool ResetStartChapter();

    std::string m_strDefault;
    std::string m_strExtendName;
    std::string m_strInsteadFile;
    HWND m_hNotifyWnd;
    int m_bCountStarted = 0;
    int m_nPercent = 0;
    int m_nAnnouncedPercent = -1;  // the last progress told to the starter
    int m_nCopied = 0;
    std::string m_strCdRoot;
    std::string m_strSkipDir;
    std::string m_strInstallDir;
    int m_nTotal = 0;

    // Files (or folders of the CD) the copy walk could not copy: how many,
    // the first one's destination and the system's reason for it. A
    // read-only file already in the course is kept, which is no failure.
    int m_nFailed = 0;
    std::string m_strFirstFailed;
    DWORD m_dwFirstFailedError = 0;

protected:
    // Posts a notice to m_hNotifyWnd (tests watch the values here). Progress
    // notices are thinned out by m_throttle; the dialog shows the latest
    // values with the next one that goes out.
    virtual void PostNotice(UINT message);

private:
    // Ends the run: WM_QUIT to the dialog, then the thread ends with code.
    [[noreturn]] void Fail(DWORD code);
    // The run ends as a failure of the installation (the program's quit
    // code tells whoever started it): after lost files.
    [[noreturn]] void FailInstallation();
    // Tells how many files were lost, the first and why.
    void ReportLostFiles();
    void RecordFailure(const std::string& destination, DWORD error);
    // Sends the progress values held back, before a long copy.
    void SendHeldBackNotice();
    // The walks below their root; folder is the entry's Windows folder path
    // with its trailing backslash.
    void CountIn(CWalkFolder& folder, const std::string& winFolder, int depth);
    void CopyIn(CWalkFolder& folder, const std::string& winFolder, int depth);
    // Where an entry of the CD goes: the installed course folder + "\" +
    // the entry's path after its first backslash.
    std::string Destination(const std::string& sourcePath) const;
    // An entry both walks take: a name that can't step out of its folder,
    // and not the CD's top-level systeminfo folder.
    bool IsWalked(const std::string& name, const std::string& path, bool isFolder) const;
    bool IsCounted(const std::string& fileName) const;
    int OverallPercent() const;
    bool ReplacePage(const std::string& scratchPath, const std::string& pagePath);

    CNoticeThrottle m_throttle;
};
