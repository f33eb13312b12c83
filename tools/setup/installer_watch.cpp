#include "tools/setup/installer_watch.h"

#include <sstream>

#include "common/program_codes.h"
#include "platform/fs/fs.h"

bool ReadProgressAnnouncement(const std::string& line, int* percent, long* copied, long* total) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != kProgressAnnouncement ||
        !(words >> *percent >> *copied >> *total))
        return false;
    return *percent >= 0 && *percent <= 100 && *copied >= 0 && *total >= 0 &&
           (words >> word).fail();
}

CInstallerWatch::CInstallerWatch(char letter, std::string nextCdFolder, Progress progress)
    : m_cLetter(letter), m_strFolder(std::move(nextCdFolder)), m_progress(std::move(progress)) {}

CInstallerWatch::~CInstallerWatch() {
    Stop();
}

bool CInstallerWatch::Start() {
    if (!m_inbox.Open())
        return false;
    m_hThread = StartThread([this] { return Run(); });
    return m_hThread != nullptr;
}

void CInstallerWatch::Stop() {
    m_bStop = true;
    if (m_hThread) {
        m_inbox.Wake();
        WaitForThread(m_hThread);
        m_hThread.reset();
    }
}

bool CInstallerWatch::WaitInserted(DWORD timeoutMs) {
    return m_hThread && WaitForThread(m_hThread, timeoutMs) == WAIT_OBJECT_0 && m_bInserted;
}

DWORD CInstallerWatch::Run() {
    std::string line;
    // Lines come in the order they were sent, so the wake-up of Stop comes
    // after every announcement the installer made before it ended.
    while (m_inbox.Receive(&line, INFINITE)) {
        int percent = 0;
        long copied = 0, total = 0;
        if (line == kCdPromptAnnouncement && !m_strFolder.empty()) {
            // The prompt is the installer's last word on this CD.
            m_bInserted = SetDriveTarget(m_cLetter, m_strFolder, true);
            return 0;
        }
        if (m_progress && ReadProgressAnnouncement(line, &percent, &copied, &total))
            m_progress(percent, copied, total);
        if (line.empty() && m_bStop)
            return 0;
    }
    return 0;
}
