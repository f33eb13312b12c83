// Puts the next CD into the drive when the installer's CD prompt comes up.
// A headless run is answered from an answer file; with real windows nothing
// answers the prompt, and a CD kept in a folder can't be inserted by hand,
// so this watch reads the run's transcript and points the drive at the next
// CD as soon as the prompt is shown. The user then only presses 确定.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/thread/thread.h"

class CNextCdWatch {
public:
    // transcript: the Unix path of the transcript the installer appends to.
    CNextCdWatch(std::string transcript, char letter, std::string nextCdFolder);
    ~CNextCdWatch();
    CNextCdWatch(const CNextCdWatch&) = delete;
    CNextCdWatch& operator=(const CNextCdWatch&) = delete;

    // Starts watching what is appended to the transcript from now on.
    bool Start();
    // Stops and waits for the watch to end; what the transcript held by
    // then has been read.
    void Stop();
    bool Inserted() const { return m_bInserted; }
    // Waits until the CD was inserted (the watch then ends) or timeoutMs.
    bool WaitInserted(DWORD timeoutMs);

    // True for a transcript line that shows the CD prompt's text.
    static bool IsPromptLine(const std::string& line);

private:
    DWORD Run();
    // Reads what was appended since the last call; true when the prompt is up.
    bool PromptSeen();

    std::string m_strTranscript;
    char m_cLetter;
    std::string m_strFolder;
    std::uint64_t m_nOffset = 0;
    std::string m_strPartial;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bInserted{false};
    HTHREAD m_hThread;
};
