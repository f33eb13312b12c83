#include "tests/e2e/e2e_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace fs = std::filesystem;

namespace {

void AppendUtf8(std::string* out, unsigned cp) {
    if (cp < 0x80) {
        *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out += static_cast<char>(0xC0 | (cp >> 6));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | (cp >> 12));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool ParseString(const std::string& s, std::size_t* i, std::string* out) {
    if (*i >= s.size() || s[*i] != '"')
        return false;
    ++*i;
    while (*i < s.size() && s[*i] != '"') {
        char c = s[(*i)++];
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (*i >= s.size())
            return false;
        char e = s[(*i)++];
        switch (e) {
            case 'n':
                *out += '\n';
                break;
            case 't':
                *out += '\t';
                break;
            case 'r':
                *out += '\r';
                break;
            case 'b':
                *out += '\b';
                break;
            case 'f':
                *out += '\f';
                break;
            case 'u': {
                if (*i + 4 > s.size())
                    return false;
                unsigned cp = std::stoul(s.substr(*i, 4), nullptr, 16);
                *i += 4;
                if (cp >= 0xD800 && cp < 0xDC00 && *i + 6 <= s.size() && s[*i] == '\\') {
                    unsigned lo = std::stoul(s.substr(*i + 2, 4), nullptr, 16);
                    *i += 6;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    *out += static_cast<char>(0xF0 | (cp >> 18));
                    *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    *out += static_cast<char>(0x80 | (cp & 0x3F));
                } else {
                    AppendUtf8(out, cp);
                }
                break;
            }
            default:
                *out += e;
                break;
        }
    }
    if (*i >= s.size())
        return false;
    ++*i;
    return true;
}

void SkipBlanks(const std::string& s, std::size_t* i) {
    while (*i < s.size() && (s[*i] == ' ' || s[*i] == '\t'))
        ++*i;
}

}  // namespace

bool ParseJsonLine(const std::string& line, TranscriptEvent* event) {
    event->clear();
    std::size_t i = 0;
    SkipBlanks(line, &i);
    if (i >= line.size() || line[i++] != '{')
        return false;
    SkipBlanks(line, &i);
    if (i < line.size() && line[i] == '}')
        return true;
    for (;;) {
        std::string key, value;
        SkipBlanks(line, &i);
        if (!ParseString(line, &i, &key))
            return false;
        SkipBlanks(line, &i);
        if (i >= line.size() || line[i++] != ':')
            return false;
        SkipBlanks(line, &i);
        if (i < line.size() && line[i] == '"') {
            if (!ParseString(line, &i, &value))
                return false;
        } else {
            while (i < line.size() && line[i] != ',' && line[i] != '}')
                value += line[i++];
            while (!value.empty() && value.back() == ' ')
                value.pop_back();
            if (value.empty())
                return false;
        }
        (*event)[key] = value;
        SkipBlanks(line, &i);
        if (i >= line.size())
            return false;
        if (line[i] == '}')
            return true;
        if (line[i++] != ',')
            return false;
    }
}

void E2eTest::SetUp() {
    char tmpl[] = "/tmp/telvora-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_root = tmpl;
    setenv("TELVORA_PREFIX", (m_root + "/prefix").c_str(), 1);
    WriteFile(m_root + "/mounts", "");
    setenv("TELVORA_MOUNTS_FILE", (m_root + "/mounts").c_str(), 1);
    // telvora-setup puts installed courses into the menu: the test's own.
    setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
    m_transcript = m_root + "/transcript.jsonl";
    ASSERT_TRUE(fs::exists(Bin("install"))) << "TELVORA_BIN must name the folder of the programs";
}

void E2eTest::TearDown() {
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(m_root, ec)) {
        if (!e.is_symlink(ec)) {
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    if (!HasFailure())
        fs::remove_all(m_root, ec);
    else
        std::cerr << "e2e: kept " << m_root << " for inspection\n";
}

std::string E2eTest::Bin(const std::string& name) {
    const char* dir = std::getenv("TELVORA_BIN");
    return std::string(dir && *dir ? dir : ".") + "/" + name;
}

int E2eTest::Run(const std::string& program, const std::vector<std::string>& args,
                 const std::string& answers) {
    const std::string answerFile = m_root + "/answers.txt";
    WriteFile(answerFile, text::GbkToUtf8(answers));
    return RunProgramAndWait(program, args,
                             {{"TELVORA_UI", "headless"},
                              {"TELVORA_ANSWERS", answerFile},
                              {"TELVORA_ANSWER_TIMEOUT", "10"},
                              {"TELVORA_TRANSCRIPT", m_transcript},
                              {"TELVORA_SNAPSHOTS", "", true},
                              {"DISPLAY", "", true},
                              {"WAYLAND_DISPLAY", "", true}});
}

std::string E2eTest::MakeSample(const std::string& name, const std::vector<std::string>& extra) {
    const std::string dir = m_root + "/" + name;
    std::vector<std::string> args = {dir};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(RunProgramAndWait(Bin("telvora-sample-course"), args), 0);
    return dir;
}

std::string E2eTest::PrepareCourse(const std::string& cdDir, bool copyMedia) {
    const std::string course = m_root + "/courses/jsjyy01";
    fs::create_directories(course + "/bin");
    std::string ini = ReadFile(cdDir + "/systeminfo/setup.ini");
    WriteFile(course + "/setup.ini", ini);
    fs::copy(cdDir + "/systeminfo", course + "/systeminfo",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    WriteFile(course + "/systeminfo/installasf.txt", copyMedia ? "installasf" : "noasf");
    fs::create_symlink(Bin("install"), course + "/bin/install");
    std::string win = ToWindowsPath(course).value_or("");
    EXPECT_FALSE(win.empty());
    EXPECT_EQ(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\jsjyy01", "", "0"), true);
    EXPECT_EQ(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\jsjyy01\\1", "", win), true);
    EXPECT_TRUE(SetDriveTarget('e', cdDir, true));
    return course;
}

int E2eTest::RunInstall(const std::string& courseDir, const std::string& answers) {
    return Run(courseDir + "/bin/install", {}, answers);
}

std::vector<TranscriptEvent> E2eTest::Transcript() const {
    std::vector<TranscriptEvent> events;
    std::istringstream in(ReadFile(m_transcript));
    std::string line;
    while (std::getline(in, line)) {
        TranscriptEvent e;
        EXPECT_TRUE(ParseJsonLine(line, &e)) << "not a JSON object: " << line;
        events.push_back(e);
    }
    return events;
}

std::vector<TranscriptEvent> E2eTest::Events(const std::string& ev) const {
    std::vector<TranscriptEvent> out;
    for (const TranscriptEvent& e : Transcript()) {
        if (e.count("ev") && e.at("ev") == ev)
            out.push_back(e);
    }
    return out;
}

std::vector<int> E2eTest::ExitCodes(const std::string& program) const {
    std::vector<int> codes;
    for (const TranscriptEvent& e : Events("exit")) {
        if (e.count("program") && e.at("program") == program)
            codes.push_back(std::stoi(e.at("code")));
    }
    return codes;
}

std::vector<std::string> E2eTest::Texts(int dialog, int control) const {
    std::vector<std::string> texts;
    for (const TranscriptEvent& e : Events("text")) {
        if (e.count("dialog") && e.at("dialog") == std::to_string(dialog) && e.count("control") &&
            e.at("control") == std::to_string(control)) {
            texts.push_back(e.count("text") ? e.at("text") : "");
        }
    }
    return texts;
}

std::vector<std::string> E2eTest::BoxTexts() const {
    std::vector<std::string> texts;
    for (const TranscriptEvent& e : Events("messagebox"))
        texts.push_back(e.count("text") ? e.at("text") : "");
    return texts;
}

std::string E2eTest::RegDefault(const std::string& key) {
    char buf[100] = {};
    LONG size = sizeof buf;
    if (RegQueryValue(HKEY_CURRENT_USER, key.c_str(), buf, &size) != ERROR_SUCCESS)
        return "<missing>";
    return buf;
}

std::string E2eTest::ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void E2eTest::WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::error_code ec;
    fs::remove(path, ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> E2eTest::FilesBelow(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(dir, ec)) {
        if (e.is_regular_file())
            files.push_back(e.path().lexically_relative(dir).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool E2eTest::IsMediaName(const std::string& path) {
    std::string name = fs::path(path).filename().string();
    std::size_t dot = name.rfind('.');
    std::string ext = text::AsciiLower(dot == std::string::npos ? name : name.substr(dot + 1));
    return ext == "asf" || ext == "wmv" || ext == "wma" || ext == "asx";
}

std::string E2eTest::U(const std::string& gbk) {
    return text::GbkToUtf8(gbk);
}
