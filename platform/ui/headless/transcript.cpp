#include "platform/ui/headless/transcript.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/text/text.h"

namespace ui::headless {
namespace {

std::string Quote(const std::string& gbk) {
    return JsonQuote(text::GbkToUtf8(gbk));
}

const char* IconName(UINT type) {
    switch (type & 0xF0) {
        case MB_ICONINFORMATION:
            return "information";
        case MB_ICONEXCLAMATION:
            return "exclamation";
        case MB_ICONERROR:
            return "error";
        default:
            return "none";
    }
}

const char* ButtonsName(UINT type) {
    switch (type & 0x0F) {
        case MB_OKCANCEL:
            return "okcancel";
        case MB_YESNO:
            return "yesno";
        default:
            return "ok";
    }
}

// What the user sees of a password: one mask character per character.
std::string Masked(const std::string& gbk) {
    std::string mask;
    for (std::size_t i = 0; i < gbk.size(); i += text::CharLength(gbk, i)) {
        mask += '*';
    }
    return mask;
}

class CTranscript : public IRenderer {
public:
    explicit CTranscript(int fd) : m_fd(fd) {}
    ~CTranscript() override { ::close(m_fd); }

    void DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND) override {
        Dialog dialog;
        dialog.id = tmpl.id;
        for (const ControlTemplate& control : tmpl.controls) {
            dialog.controls.push_back({control.id, control.kind, control.style});
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_dialogs[dlg] = std::move(dialog);
        WriteLocked("{\"ev\":\"dialog\",\"id\":" + std::to_string(tmpl.id) +
                    ",\"title\":" + Quote(tmpl.title) + ",\"op\":\"open\"}");
    }

    // What the user sees first: the text of every static and edit control.
    void DialogStarted(HWND dlg) override {
        WindowState state;
        if (!GetWindowState(dlg, &state)) {
            return;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        Dialog* dialog = FindDialog(dlg);
        if (!dialog) {
            return;
        }
        dialog->started = true;
        for (std::size_t i = 0; i < state.controls.size() && i < dialog->controls.size(); ++i) {
            const Control& control = dialog->controls[i];
            if (ShowsText(control)) {
                WriteText(*dialog, control, state.controls[i].text);
            }
        }
    }

    void ControlTextChanged(HWND dlg, int controlId, const std::string& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        Dialog* dialog = FindDialog(dlg);
        if (!dialog || !dialog->started) {
            return;  // the start writes the texts as they are then
        }
        for (const Control& control : dialog->controls) {
            if (control.id == controlId) {
                if (ShowsText(control)) {
                    WriteText(*dialog, control, text);
                }
                return;
            }
        }
    }

    void ProgressChanged(HWND dlg, int controlId, int pos) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Dialog* dialog = FindDialog(dlg)) {
            WriteLocked("{\"ev\":\"progress\",\"dialog\":" + std::to_string(dialog->id) +
                        ",\"control\":" + std::to_string(controlId) +
                        ",\"pos\":" + std::to_string(pos) + "}");
        }
    }

    void WindowShown(HWND, int) override {}
    void WindowPlaced(HWND, HWND, bool, int, int) override {}

    void ButtonPressed(HWND dlg, int buttonId, bool answered) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Dialog* dialog = FindDialog(dlg)) {
            WriteLocked("{\"ev\":\"press\",\"dialog\":" + std::to_string(dialog->id) +
                        ",\"button\":" + std::to_string(buttonId) +
                        ",\"answered\":" + (answered ? "true" : "false") + "}");
        }
    }

    void DialogClosed(HWND dlg, INT_PTR result) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Dialog* dialog = FindDialog(dlg)) {
            WriteLocked("{\"ev\":\"dialog\",\"id\":" + std::to_string(dialog->id) +
                        ",\"op\":\"close\",\"result\":" + std::to_string(result) + "}");
            m_dialogs.erase(dlg);
        }
    }

    void MessageBoxOpened(const MessageBoxInfo& info) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_boxes[info.box] = info;
    }

    // One line per box, when its result is known.
    void MessageBoxClosed(HWND box, int result, bool answered) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_boxes.find(box);
        if (it == m_boxes.end()) {
            return;
        }
        const MessageBoxInfo& info = it->second;
        WriteLocked("{\"ev\":\"messagebox\",\"text\":" + Quote(info.text) +
                    ",\"caption\":" + Quote(info.caption) + ",\"icon\":\"" + IconName(info.type) +
                    "\",\"buttons\":\"" + ButtonsName(info.type) +
                    "\",\"result\":" + std::to_string(result) +
                    ",\"answered\":" + (answered ? "true" : "false") + "}");
        m_boxes.erase(it);
    }

    void AnswerTimedOut(HWND window, const char* action) override {
        std::string what = JsonQuote(action ? action : "");
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Dialog* dialog = FindDialog(window)) {
            WriteLocked("{\"ev\":\"timeout\",\"dialog\":" + std::to_string(dialog->id) +
                        ",\"action\":" + what + "}");
        } else if (auto it = m_boxes.find(window); it != m_boxes.end()) {
            WriteLocked("{\"ev\":\"timeout\",\"messagebox\":" + Quote(it->second.text) +
                        ",\"action\":" + what + "}");
        }
    }

    void ProgramExited(const std::string& program, int code) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        WriteLocked("{\"ev\":\"exit\",\"program\":" + Quote(program) +
                    ",\"code\":" + std::to_string(code) + "}");
    }

private:
    struct Control {
        int id;
        ControlKind kind;
        DWORD style;
    };
    struct Dialog {
        int id = 0;
        bool started = false;
        std::vector<Control> controls;  // template order
    };

    static bool ShowsText(const Control& control) {
        return control.kind == ControlKind::Static || control.kind == ControlKind::Edit;
    }

    Dialog* FindDialog(HWND dlg) {
        auto it = m_dialogs.find(dlg);
        return it == m_dialogs.end() ? nullptr : &it->second;
    }

    void WriteText(const Dialog& dialog, const Control& control, const std::string& text) {
        bool password = control.kind == ControlKind::Edit && (control.style & ES_PASSWORD) != 0;
        WriteLocked("{\"ev\":\"text\",\"dialog\":" + std::to_string(dialog.id) +
                    ",\"control\":" + std::to_string(control.id) +
                    ",\"text\":" + Quote(password ? Masked(text) : text) + "}");
    }

    // One write per line: with O_APPEND a line never mixes with another's.
    void WriteLocked(std::string line) {
        line += '\n';
        std::size_t done = 0;
        while (done < line.size()) {
            ssize_t n = ::write(m_fd, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                if (!m_bWriteFailed) {
                    std::fprintf(stderr, "telvora: cannot write the transcript: %s\n",
                                 std::strerror(errno));
                    m_bWriteFailed = true;
                }
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    std::mutex m_mutex;
    int m_fd;
    bool m_bWriteFailed = false;
    std::unordered_map<HWND, Dialog> m_dialogs;
    std::unordered_map<HWND, MessageBoxInfo> m_boxes;
};

}  // namespace

std::string JsonQuote(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::shared_ptr<IRenderer> CreateTranscript(const std::string& utf8Path) {
    int fd = ::open(utf8Path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "telvora: cannot open the transcript %s: %s\n", utf8Path.c_str(),
                     std::strerror(errno));
        return nullptr;
    }
    return std::make_shared<CTranscript>(fd);
}

std::shared_ptr<IRenderer> CreateTranscriptFromEnvironment() {
    const char* path = std::getenv("TELVORA_TRANSCRIPT");
    if (!path || !*path) {
        return nullptr;
    }
    return CreateTranscript(path);
}

}  // namespace ui::headless
