// Stop signals taken by a waiting thread instead of ending the process. The
// signals are blocked before main, as a tool blocks them first thing, so
// every thread of this test program inherits the blocked set.
#include "platform/process/stop_signal.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/process/process.h"

namespace {

const bool g_blocked = (BlockStopSignals(), true);

constexpr DWORD kWaitMs = 20000;

// A thread made after the signals were blocked, alive while the signal is
// sent: the signal must stay pending for the waiting thread, not end the
// process through this one.
class CIdleThread {
public:
    CIdleThread()
        : m_thread([this] {
              std::unique_lock<std::mutex> lock(m_mutex);
              m_cv.wait(lock, [this] { return m_stop; });
          }) {}
    ~CIdleThread() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    std::thread m_thread;
};

TEST(StopSignalTest, TerminateAndInterruptAreTakenByTheWaitingThread) {
    ASSERT_TRUE(g_blocked);
    CIdleThread idle;
    ASSERT_EQ(kill(getpid(), SIGTERM), 0);
    EXPECT_EQ(WaitForStopSignal(kWaitMs), kSignalTerminate);
    ASSERT_EQ(kill(getpid(), SIGINT), 0);
    EXPECT_EQ(WaitForStopSignal(), kSignalInterrupt);
}

TEST(StopSignalTest, SignalFromAnotherThreadWakesAnEndlessWait) {
    std::thread sender([] { kill(getpid(), SIGTERM); });
    EXPECT_EQ(WaitForStopSignal(INFINITE), kSignalTerminate);
    sender.join();
}

TEST(StopSignalTest, NoSignalWithinTheTimeGivesZero) {
    EXPECT_EQ(WaitForStopSignal(0), 0);
    EXPECT_EQ(WaitForStopSignal(20), 0);
}

TEST(StopSignalTest, StartedProgramsHaveNoSignalBlocked) {
    char dir[] = "/tmp/tv_stop_signal_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string record = std::string(dir) + "/record.txt";
    setenv("TV_RECORD", record.c_str(), 1);
    const std::string prefix = std::string(dir) + "/prefix";
    setenv("TELVORA_PREFIX", prefix.c_str(), 1);

    STARTUPINFO si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcess(nullptr, TV_PROCESS_RECORDER, 0, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::ifstream in(record);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("sigblk=0000000000000000\n"), std::string::npos) << text.str();
    unsetenv("TV_RECORD");
    std::filesystem::remove_all(dir);
}

}  // namespace
