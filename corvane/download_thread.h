// CDownloadThread, the update worker: one per update, started by Download.
// It asks the update server for the packages newer than the installed
// version, writes the notes pages, offers the update, and for each package
// downloads it (with the progress window of download_window.h), unpacks it
// with the course's extractor, copies it over the course and records its
// version. Everything runs in the worker's own thread; its dialogs and
// message boxes have no owner.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "corvane/deployment.h"
#include "corvane/update_answer.h"
#include "platform/fs/fs.h"
#include "platform/fs/instance_lock.h"
#include "platform/fs/tree_copy.h"
#include "platform/net/wininet.h"
#include "platform/thread/thread.h"
#include "platform/ui/ui.h"

// The worker's exit code after a completed update.
constexpr DWORD kUpdateCompleted = 1006;

class CDownloadThread;
// Deletes a worker once its thread has ended (at once when it has): the
// control never releases one whose thread still runs.
void ReleaseWhenEnded(CDownloadThread* worker);

// True while a worker of this process is updating a course.
bool UpdateRunning();

// Makes the end of the process safe while an update runs (see
// download_thread.cpp); called before a worker starts.
void GuardProcessEnd();

class CDownloadThread : public CWinThread {
public:
    // server: where this update's query and downloads go, read once when
    // the update starts.
    CDownloadThread(std::string fileName, std::string filePath, std::string versNumber,
                    BOOL showWindow, ServerAddress server);
    // Made by its run-time class name: no course yet, the server configured now.
    CDownloadThread() : CDownloadThread("", "", "0", FALSE, UpdateServerAddress()) {}
    ~CDownloadThread() override;

    // The whole update; ends the thread with kUpdateCompleted after a
    // completed one.
    DWORD Run() override;

    // ---- the server query ----
    // Opens the agent and the connection to the update server with the
    // login's credentials (the query does; the download benchmark uses it
    // alone).
    bool OpenConnection();
    // The packages of an answer, in answer order (the query's split gives
    // them; the download benchmark sets its own).
    void SetPackages(std::vector<PackageEntry> packages);
    // True when the answer held an update list (its fields are in
    // m_strPackage, entry 0 the last field); leaves the agent and the
    // connection open for the downloads.
    bool QueryServer();

    // ---- the update procedure ----
    bool RunUpdate();
    bool ReadCourseInfo();
    bool PrepareNotesPages();
    // The download step for package k (its archive complete in
    // m_strLocalFile[k]).
    bool DownloadStep(std::size_t k);
    // Opens m_strLocalFile[k] for writing; false (nothing open) on failure.
    bool PrepareLocalFile(std::size_t k);
    bool DownloadPackage(std::size_t k);
    bool ExtractPackage(std::size_t k);
    // Puts the unpacked package (the temp folder's first entry) in place
    // over the course; false when a file could not be put in place (the
    // package is then not recorded as installed).
    bool ApplyExtractedTree();
    // Opens the temp folder as *temp and reads its first entry.
    bool FindFirstEntry(CWalkFolder* temp, WalkEntry* first);
    // Moves the files of an unpacked folder into its course folder (toPath),
    // making its folders first; depth 0 is the package's top folder.
    void CopyTree(CWalkFolder& from, CCopyTarget& to, const std::string& toPath, int depth);
    // Removes a file or a folder tree below the course folder; a failure
    // shows "delete file folder error" when told to.
    bool DeleteFolder(const std::string& path, bool tellFailure = true);
    bool WriteVersion(const std::string& keyPath, const std::string& value);
    void OpenStartPage();

    // The course folder C (m_strFilePath + m_strFileName).
    std::string CourseFolder() const { return m_strFilePath + m_strFileName; }

    // Takes the course folder for this worker, with the course's lock when
    // the caller got it (null when the course could not be locked): false
    // when a worker of this process is still updating it. Both are given
    // back when the thread ends (or the object goes without having run).
    bool Claim(std::unique_ptr<CInstanceLock> courseLock = nullptr);

    // What the update works on (read by tests).
    const std::vector<PackageEntry>& Packages() const { return m_packages; }

private:
    void CloseInternet();
    // Closes the notes pages' scratch files and removes what is left of them.
    void DiscardScratchPages();
    // Shows the login dialog again; true when the user confirmed it.
    bool AskLoginAgain();

    std::string m_strStartPage;
    HINTERNET m_hRequest = nullptr;
    BOOL m_bNoHistory = TRUE;
    std::string m_strCourseName;
    HINTERNET m_hConnect = nullptr;
    std::string m_strNotes;
    std::unique_ptr<CFile> m_pNotesFile;
    std::unique_ptr<CFile> m_pExplainFile;
    HINTERNET m_hSession = nullptr;
    std::int64_t m_nTotalSize = 0;
    BOOL m_bShowWindow;  // the control's mode; the worker never consults it
    std::string m_strTargetRoot;
    std::string m_strTempRoot;
    std::vector<std::string> m_strLocalFile;
    std::unique_ptr<CFile> m_pDownloadFile;
    // The last download brought every byte its answer announced.
    bool m_bArchiveLengthKnown = false;
    std::vector<std::string> m_strPackage;  // the answer's fields, entry 0 the last
    std::string m_strFileName;
    std::string m_strFilePath;
    std::string m_strVersNumber;
    ServerAddress m_server;
    // The packages in answer order (server path, size text, code), at most
    // kMaxPackages of them.
    std::vector<PackageEntry> m_packages;
    // The earlier history page's kept lines, when there was one.
    std::string m_strKeptNotes;
    // The scratch files the two pages are written to before they are put
    // in place.
    std::string m_strExplainScratch;
    std::string m_strNotesScratch;
    void GiveBack();
    bool m_bClaimed = false;
    std::unique_ptr<CInstanceLock> m_pCourseLock;
    // Counts a file or folder that could not be put in place (the reason is
    // the last error).
    void CountCopyFailure(const std::string& path);
    // Files CopyTree could not copy, and the first of them with its reason.
    int m_nCopyFailures = 0;
    std::string m_strFirstCopyFailure;
};
