#include "tools/setup/next_cd_watch.h"

#include "common/program_codes.h"
#include "platform/fs/fs.h"

CNextCdWatch::CNextCdWatch(char letter, std::string nextCdFolder)
    : m_cLetter(letter), m_strFolder(std::move(nextCdFolder)) {}

CNextCdWatch::~CNextCdWatch() {
    Stop();
}

bool CNextCdWatch::Start() {
    if (!m_inbox.Open())
        return false;
    m_hThread = StartThread([this] { return Run(); });
    return m_hThread != nullptr;
}

void CNextCdWatch::Stop() {
    m_bStop = true;
    if (m_hThread) {
        m_inbox.Wake();
        WaitForThread(m_hThread);
        m_hThread.reset();
    }
}

bool CNextCdWatch::WaitInserted(DWORD timeoutMs) {
    return m_hThread && WaitForThread(m_hThread, timeoutMs) == WAIT_OBJECT_0 && m_bInserted;
}

DWORD CNextCdWatch::Run() {
    std::string line;
    // Lines come in the order they were sent, so the wake-up of Stop comes
    // after every announcement the installer made before it ended.
    while (m_inbox.Receive(&line, INFINITE)) {
        if (line == kCdPromptAnnouncement) {
            m_bInserted = SetDriveTarget(m_cLetter, m_strFolder, true);
            return 0;
        }
        if (line.empty() && m_bStop)
            return 0;
    }
    return 0;
}
