#include "tools/setup/next_cd_watch.h"

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/fs/fs.h"

namespace {

// How often the transcript is looked at: well below a person's reaction to
// a new dialog. (<thread> brings the durations; <chrono> itself holds texts
// that the GBK execution character set cannot take.)
constexpr auto kPollInterval = std::chrono::milliseconds(50);

}  // namespace

CNextCdWatch::CNextCdWatch(std::string transcript, char letter, std::string nextCdFolder)
    : m_strTranscript(std::move(transcript)),
      m_cLetter(letter),
      m_strFolder(std::move(nextCdFolder)) {}

CNextCdWatch::~CNextCdWatch() {
    Stop();
}

bool CNextCdWatch::IsPromptLine(const std::string& line) {
    return line.find("\"ev\":\"text\"") != std::string::npos &&
           line.find("\"dialog\":138,") != std::string::npos &&
           line.find("\"control\":1013,") != std::string::npos;
}

bool CNextCdWatch::Start() {
    std::error_code ec;
    m_nOffset = std::filesystem::exists(m_strTranscript, ec)
                    ? std::filesystem::file_size(m_strTranscript, ec)
                    : 0;
    if (ec)
        m_nOffset = 0;
    m_hThread = StartThread([this] { return Run(); });
    return m_hThread != nullptr;
}

void CNextCdWatch::Stop() {
    m_bStop = true;
    if (m_hThread) {
        WaitForThread(m_hThread);
        m_hThread.reset();
    }
}

bool CNextCdWatch::PromptSeen() {
    std::ifstream in(m_strTranscript, std::ios::binary);
    if (!in)
        return false;
    in.seekg(static_cast<std::streamoff>(m_nOffset));
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m_nOffset += chunk.size();
    m_strPartial += chunk;
    std::size_t start = 0, end;
    bool seen = false;
    while ((end = m_strPartial.find('\n', start)) != std::string::npos) {
        seen = seen || IsPromptLine(m_strPartial.substr(start, end - start));
        start = end + 1;
    }
    m_strPartial.erase(0, start);
    return seen;
}

bool CNextCdWatch::WaitInserted(DWORD timeoutMs) {
    return m_hThread && WaitForThread(m_hThread, timeoutMs) == WAIT_OBJECT_0 && m_bInserted;
}

DWORD CNextCdWatch::Run() {
    for (;;) {
        // What was written before a stop request is still read.
        const bool stop = m_bStop;
        if (PromptSeen()) {
            m_bInserted = SetDriveTarget(m_cLetter, m_strFolder, true);
            return 0;
        }
        if (stop)
            return 0;
        std::this_thread::sleep_for(kPollInterval);
    }
}
