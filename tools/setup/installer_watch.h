// What an installer run announces to the setup step: its CD prompt (the
// next CD is put into the drive at once: with real windows nothing answers
// the prompt, and a CD kept in a folder can't be inserted by hand, so the
// user then only presses 确定) and its progress through the CD (shown to a
// user at a terminal).
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/process/announce.h"
#include "platform/thread/thread.h"

class CInstallerWatch {
public:
    // The installer's progress: the whole CD's percentage, the files copied
    // and the files to copy.
    using Progress = std::function<void(int percent, long copied, long total)>;

    // nextCdFolder empty: no next CD to put in.
    CInstallerWatch(char letter, std::string nextCdFolder, Progress progress);
    ~CInstallerWatch();
    CInstallerWatch(const CInstallerWatch&) = delete;
    CInstallerWatch& operator=(const CInstallerWatch&) = delete;

    // Opens the inbox and starts watching it; false when it can't.
    bool Start();
    // What the installer run needs in its environment to announce here.
    EnvChange Environment() const { return m_inbox.Environment(); }
    // Stops and waits for the watch to end; what was announced by then has
    // been acted on.
    void Stop();
    bool Inserted() const { return m_bInserted; }
    // Waits until the CD was inserted or timeoutMs passed.
    bool WaitInserted(DWORD timeoutMs);

private:
    DWORD Run();

    char m_cLetter;
    std::string m_strFolder;
    Progress m_progress;
    CAnnouncementInbox m_inbox;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bInserted{false};
    HTHREAD m_hThread;
};

// Reads the installer's progress announcement ("progress PERCENT COPIED
// TOTAL"); false for any other line.
bool ReadProgressAnnouncement(const std::string& line, int* percent, long* copied, long* total);
