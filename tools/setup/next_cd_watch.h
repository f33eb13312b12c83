// Puts the next CD into the drive when the installer's CD prompt comes up.
// A headless run is answered from an answer file; with real windows nothing
// answers the prompt, and a CD kept in a folder can't be inserted by hand,
// so the installer run gets an announcement inbox and this watch points the
// drive at the next CD as soon as the installer announces its prompt. The
// user then only presses 确定.
#pragma once

#include <atomic>
#include <string>

#include "platform/process/announce.h"
#include "platform/thread/thread.h"

class CNextCdWatch {
public:
    CNextCdWatch(char letter, std::string nextCdFolder);
    ~CNextCdWatch();
    CNextCdWatch(const CNextCdWatch&) = delete;
    CNextCdWatch& operator=(const CNextCdWatch&) = delete;

    // Opens the inbox and starts watching it; false when it can't.
    bool Start();
    // What the installer run needs in its environment to announce here.
    EnvChange Environment() const { return m_inbox.Environment(); }
    // Stops and waits for the watch to end; what was announced by then has
    // been acted on.
    void Stop();
    bool Inserted() const { return m_bInserted; }
    // Waits until the CD was inserted (the watch then ends) or timeoutMs.
    bool WaitInserted(DWORD timeoutMs);

private:
    DWORD Run();

    char m_cLetter;
    std::string m_strFolder;
    CAnnouncementInbox m_inbox;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bInserted{false};
    HTHREAD m_hThread;
};
