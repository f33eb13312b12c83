// A worker floods a dialog with progress notices, the way the installer's
// copy does: the values travel in shared variables, the notice carries
// nothing, and the dialog shows the latest values each time. Every notice
// must be handled and the dialog must end showing the last values. The time
// taken is printed for the record, never asserted.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/text/text.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/headless/transcript.h"
#include "platform/ui/tests/test_support.h"
#include "platform/ui/ui.h"

using namespace uitest;

namespace {

constexpr UINT kProgressNotice = WM_USER + 101;
constexpr UINT kDoneNotice = WM_USER + 102;
constexpr int kNotices = 200000;

std::atomic<int> g_overall{0};
std::atomic<int> g_file{0};
std::mutex g_fileMutex;
std::string g_currentFile;

class CFloodDlg : public CDialog {
public:
    // changeEvery: how many notices share one file name. perNotice: the handler
    // shows the notice's own number instead of the shared values, so every
    // notice changes both the text and a bar (the worst case for renderers).
    CFloodDlg(int changeEvery, bool perNotice)
        : CDialog(kDialogProgress), m_changeEvery(changeEvery), m_bPerNotice(perNotice) {}
    int m_handled = 0;
    double m_postSeconds = 0;

protected:
    BOOL OnInitDialog() override {
        HWND self = m_hWnd;
        int every = m_changeEvery;
        double* postSeconds = &m_postSeconds;
        m_worker = StartThread([self, every, postSeconds]() -> DWORD {
            auto start = std::chrono::steady_clock::now();
            for (int i = 1; i <= kNotices; ++i) {
                g_overall = static_cast<int>(static_cast<long long>(i) * 100 / kNotices);
                g_file = (i / every) % 2 ? 100 : 0;
                if (i % every == 0 || i == kNotices) {
                    std::lock_guard<std::mutex> lock(g_fileMutex);
                    g_currentFile = "C:\\course\\12\\file" + std::to_string(i / every) + ".htm";
                }
                PostMessage(self, kProgressNotice, static_cast<WPARAM>(i), 0);
            }
            *postSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            PostMessage(self, kDoneNotice, 0, 0);
            return 0;
        });
        return TRUE;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kProgressNotice) {
            ++m_handled;
            std::string file;
            if (m_bPerNotice) {
                SendDlgItemMessage(m_hWnd, 1000, PBM_SETPOS, wParam % 101, 0);
                SendDlgItemMessage(m_hWnd, 1001, PBM_SETPOS, wParam % 2 ? 100 : 0, 0);
                file = "C:\\course\\12\\file" + std::to_string(wParam) + ".htm";
            } else {
                SendDlgItemMessage(m_hWnd, 1000, PBM_SETPOS, g_overall.load(), 0);
                SendDlgItemMessage(m_hWnd, 1001, PBM_SETPOS, g_file.load(), 0);
                std::lock_guard<std::mutex> lock(g_fileMutex);
                file = g_currentFile;
            }
            SetDlgItemText(m_hWnd, 1011, file);
            ShowWindow(m_hWnd, SW_SHOWNORMAL);
            return 1;
        }
        if (msg == kDoneNotice) {
            WaitForThread(m_worker);
            EndDialog(1008);
            return 1;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }

private:
    int m_changeEvery;
    bool m_bPerNotice;
    HTHREAD m_worker;
};

void Flood(const char* what, int changeEvery, bool perNotice = false) {
    double seconds = 0;
    RunOnFreshThread([&] {
        CFloodDlg dlg(changeEvery, perNotice);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(dlg.DoModal(), 1008);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(dlg.m_handled, kNotices);
        std::printf(
            "[ flood    ] %s: %d notices posted in %.3f s, handled in %.3f s "
            "(%.0f notices/s)\n",
            what, kNotices, dlg.m_postSeconds, seconds, kNotices / seconds);
    });
}

TEST(NoticeFlood, EveryNoticeHandledWithTheLatestValuesNoRenderer) {
    RegisterTestDialogs();
    ui::ClearRenderers();
    Flood("no renderer, shared values", 1);
    Flood("no renderer, every notice changes text and bars", 1, true);
}

TEST(NoticeFlood, WithHeadlessRendererAndTranscript) {
    RegisterTestDialogs();
    char dir[] = "/tmp/telvora-flood-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/transcript.jsonl";
    {
        CScopedRenderers renderers(ui::headless::CreateHeadlessRenderer({}),
                                   {ui::headless::CreateTranscript(path)});
        Flood("headless + transcript, shared values", 100);
        Flood("headless + transcript, every notice changes text and bars", 1, true);
    }
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    int lines = 0;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        lines += c == '\n';
    }
    std::fclose(file);
    // The worst case wrote a text and two progress lines per notice.
    EXPECT_GT(lines, 3 * kNotices);
    std::printf("[ flood    ] transcript lines written: %d\n", lines);
    std::remove(path.c_str());
    rmdir(dir);
}

TEST(NoticeFlood, TheDialogEndsShowingTheLastValues) {
    RegisterTestDialogs();
    auto recorder = std::make_shared<CRecorder>();
    CScopedRenderers renderers(recorder);
    Flood("recording renderer, new file name every 1000 notices", 1000);
    auto progress = recorder->OfKind("progress");
    ASSERT_FALSE(progress.empty());
    // Each change is told once: never more events than distinct positions
    // of the all-files bar plus the file bar's flips.
    int overall = 0;
    for (auto& e : progress) {
        if (e.id == 1000) {
            EXPECT_GT(e.value, overall);  // strictly rising: no repeats
            overall = static_cast<int>(e.value);
        }
    }
    EXPECT_EQ(overall, 100);
    auto texts = recorder->OfKind("text");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().text, "C:\\course\\12\\file200.htm");
}

}  // namespace
