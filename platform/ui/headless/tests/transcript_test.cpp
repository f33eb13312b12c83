#include "platform/ui/headless/transcript.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/ui/headless/headless.h"
#include "platform/ui/tests/test_support.h"

using namespace uitest;
using namespace ui::headless;

namespace {

std::string U8(const char8_t* s) {
    return reinterpret_cast<const char*>(s);
}

// One flat JSON object: strings, numbers and truth values as their text.
using Object = std::map<std::string, std::string>;

std::string ParseString(const std::string& s, std::size_t* i) {
    std::string out;
    EXPECT_EQ(s[*i], '"');
    for (++*i; *i < s.size() && s[*i] != '"'; ++*i) {
        if (s[*i] != '\\') {
            out += s[*i];
            continue;
        }
        char e = s[++*i];
        switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u':
                out += static_cast<char>(std::stoi(s.substr(*i + 1, 4), nullptr, 16));
                *i += 4;
                break;
            default:
                out += e;
        }
    }
    ++*i;
    return out;
}

bool ParseObject(const std::string& line, Object* object) {
    std::size_t i = 0;
    if (line.empty() || line[i++] != '{') {
        return false;
    }
    while (i < line.size() && line[i] != '}') {
        std::string key = ParseString(line, &i);
        if (line[i++] != ':') {
            return false;
        }
        std::string value;
        if (line[i] == '"') {
            value = ParseString(line, &i);
        } else {
            while (i < line.size() && line[i] != ',' && line[i] != '}') {
                value += line[i++];
            }
        }
        (*object)[key] = value;
        if (line[i] == ',') {
            ++i;
        }
    }
    return i == line.size() - 1;
}

class TranscriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestDialogs();
        ASSERT_NE(mkdtemp(m_dir), nullptr);
        m_path = std::string(m_dir) + "/transcript.jsonl";
    }
    void TearDown() override {
        m_renderers.reset();
        unlink(m_path.c_str());
        rmdir(m_dir);
    }

    std::vector<Object> Lines() {
        std::ifstream file(m_path);
        std::vector<Object> lines;
        for (std::string line; std::getline(file, line);) {
            Object object;
            EXPECT_TRUE(ParseObject(line, &object)) << line;
            lines.push_back(object);
        }
        return lines;
    }

    std::vector<Object> Lines(const std::string& ev) {
        std::vector<Object> out;
        for (auto& o : Lines()) {
            if (o["ev"] == ev) {
                out.push_back(o);
            }
        }
        return out;
    }

    char m_dir[32] = "/tmp/telvora-transcript-XXXXXX";
    std::string m_path;
    std::unique_ptr<CScopedRenderers> m_renderers;
};

TEST(JsonQuote, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(JsonQuote("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonQuote("\n\r\t\b\f"), "\"\\n\\r\\t\\b\\f\"");
    EXPECT_EQ(JsonQuote(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(JsonQuote(std::string("a\0b", 3)), "\"a\\u0000b\"");
    EXPECT_EQ(JsonQuote(U8(u8"课件")), "\"" + U8(u8"课件") + "\"");
}

class CStartedFormDlg : public CDialog {
public:
    CStartedFormDlg() : CDialog(kDialogForm) {}

protected:
    BOOL OnInitDialog() override {
        SetDlgItemText(m_hWnd, 1001, "C:\\course\\12\\index.htm");
        SetDlgItemText(m_hWnd, 1003, "密码ab");
        PostMessage(m_hWnd, WM_APP, 0, 0);
        return TRUE;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_APP) {
            SetDlgItemText(m_hWnd, 1001, "第\"二\"行\n");
            SendDlgItemMessage(m_hWnd, 1004, PBM_SETPOS, 33, 0);
            SendDlgItemMessage(m_hWnd, 1004, PBM_SETPOS, 33, 0);
            ui::PressButton(m_hWnd, IDOK, true);
            return 1;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

TEST_F(TranscriptTest, ADialogFromOpenToClose) {
    m_renderers = std::make_unique<CScopedRenderers>(CreateTranscript(m_path));
    RunOnFreshThread([] {
        CStartedFormDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDOK);
    });
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(
        lines[0],
        (Object{{"ev", "dialog"}, {"id", "500"}, {"title", U8(u8"测试对话框")}, {"op", "open"}}));
    // The start: every static and edit control, password masked, in template order.
    EXPECT_EQ(lines[1], (Object{{"ev", "text"},
                                {"dialog", "500"},
                                {"control", "1001"},
                                {"text", "C:\\course\\12\\index.htm"}}));
    EXPECT_EQ(lines[2]["control"], "1002");
    EXPECT_EQ(lines[2]["text"], "");
    EXPECT_EQ(lines[3]["control"], "1003");
    EXPECT_EQ(lines[3]["text"], "****");
    EXPECT_EQ(lines[4]["control"], "-1");
    EXPECT_EQ(lines[4]["text"], U8(u8"标签："));
    // Changes after the start; the progress only once.
    EXPECT_EQ(lines[5]["ev"], "text");
    EXPECT_EQ(lines[5]["text"], U8(u8"第\"二\"行\n"));
    EXPECT_EQ(lines[6],
              (Object{{"ev", "progress"}, {"dialog", "500"}, {"control", "1004"}, {"pos", "33"}}));
    EXPECT_EQ(lines[7],
              (Object{{"ev", "press"}, {"dialog", "500"}, {"button", "1"}, {"answered", "true"}}));
    EXPECT_EQ(lines[8],
              (Object{{"ev", "dialog"}, {"id", "500"}, {"op", "close"}, {"result", "1"}}));
}

TEST_F(TranscriptTest, MessageBoxesTimeOutsAndTheExit) {
    auto transcript = CreateTranscript(m_path);
    HeadlessOptions options;
    options.rules = ParseAnswers("messagebox \"busy\" : press 2\n", "a", nullptr);
    options.timeoutMs = 50;
    m_renderers =
        std::make_unique<CScopedRenderers>(CreateHeadlessRenderer(std::move(options)),
                                           std::vector<std::shared_ptr<ui::IRenderer>>{transcript});
    RunOnFreshThread([] {
        MessageBox(nullptr, "server busy", "提示！", MB_OKCANCEL | MB_ICONINFORMATION);
        MessageBox(nullptr, "读注册表失败", "corvane", MB_OK | MB_ICONEXCLAMATION);
        MessageBox(nullptr, "x", "y", MB_YESNO);
        CDialog dlg(kDialogForm);
        dlg.DoModal();  // no rule: cancelled after the time-out
    });
    transcript->ProgramExited("install", 1011);

    auto boxes = Lines("messagebox");
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], (Object{{"ev", "messagebox"},
                                {"text", "server busy"},
                                {"caption", U8(u8"提示！")},
                                {"icon", "information"},
                                {"buttons", "okcancel"},
                                {"result", "2"},
                                {"answered", "true"}}));
    EXPECT_EQ(boxes[1]["text"], U8(u8"读注册表失败"));
    EXPECT_EQ(boxes[1]["icon"], "exclamation");
    EXPECT_EQ(boxes[1]["buttons"], "ok");
    EXPECT_EQ(boxes[1]["result"], "1");
    EXPECT_EQ(boxes[1]["answered"], "false");
    EXPECT_EQ(boxes[2]["icon"], "none");
    EXPECT_EQ(boxes[2]["buttons"], "yesno");
    EXPECT_EQ(boxes[2]["result"], "6");

    auto timeouts = Lines("timeout");
    ASSERT_EQ(timeouts.size(), 1u);
    EXPECT_EQ(timeouts[0], (Object{{"ev", "timeout"}, {"dialog", "500"}, {"action", "cancel"}}));
    auto presses = Lines("press");
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0]["answered"], "false");
    auto exits = Lines("exit");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0], (Object{{"ev", "exit"}, {"program", "install"}, {"code", "1011"}}));
}

TEST_F(TranscriptTest, LinesFromManyThreadsStayWholeAndAppend) {
    {
        std::ofstream earlier(m_path);
        earlier << "{\"ev\":\"exit\",\"program\":\"setup\",\"code\":0}\n";
    }
    auto first = CreateTranscript(m_path);
    auto second = CreateTranscript(m_path);  // a second process, in effect
    ASSERT_TRUE(first && second);
    std::vector<HTHREAD> threads;
    for (int t = 0; t < 8; ++t) {
        auto target = t % 2 ? first : second;
        threads.push_back(StartThread([target, t]() -> DWORD {
            for (int i = 0; i < 500; ++i) {
                target->ProgramExited(std::string(200, static_cast<char>('a' + t)), i);
            }
            return 0;
        }));
    }
    for (auto& thread : threads) {
        ASSERT_EQ(WaitForThread(thread, 30000), WAIT_OBJECT_0);
    }
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u + 8 * 500);
    EXPECT_EQ(lines[0]["program"], "setup");
    for (auto& line : lines) {
        EXPECT_EQ(line["ev"], "exit");
    }
}

TEST_F(TranscriptTest, AFileThatCannotBeOpenedGivesNoTranscript) {
    EXPECT_EQ(CreateTranscript(std::string(m_dir) + "/missing/dir/t.jsonl"), nullptr);
}

}  // namespace
