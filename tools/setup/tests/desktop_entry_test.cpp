#include "tools/setup/desktop_entry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/text/text.h"

namespace {

// Test texts are written in GBK like every literal of the tree; desktop
// entries are UTF-8.
std::string U(const std::string& gbk) {
    return text::GbkToUtf8(gbk);
}

// The value of Exec as a desktop reads it: string escapes first, then the
// quoting rules, then %% as one %. Written from freedesktop.org's rules for
// desktop entries, apart from the code under test.
bool ParseExec(const std::string& value, std::vector<std::string>* args) {
    std::string s;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char e = value[++i];
            s += e == 's' ? ' ' : e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
        } else {
            s += value[i];
        }
    }
    args->clear();
    std::string cur;
    bool inArg = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ' ') {
            if (inArg)
                args->push_back(cur);
            cur.clear();
            inArg = false;
        } else if (c == '"') {
            inArg = true;
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] == '\\') {
                    if (++i == s.size() || std::string("\"`$\\").find(s[i]) == std::string::npos)
                        return false;
                }
                cur += s[i];
            }
            if (i == s.size())
                return false;  // no closing quote
        } else if (std::string("\t\n'\\><~|&;$*?#()`").find(c) != std::string::npos) {
            return false;  // a reserved character outside quotes
        } else {
            inArg = true;
            cur += c;
        }
    }
    if (inArg)
        args->push_back(cur);
    for (std::string& a : *args) {
        std::string plain;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] == '%') {
                if (i + 1 == a.size() || a[i + 1] != '%')
                    return false;  // a field code where none was meant
                ++i;
            }
            plain += a[i];
        }
        a = plain;
    }
    return true;
}

DesktopEntryFields Fields(std::vector<std::string> command) {
    DesktopEntryFields f;
    f.name = U("计算机应用基础");
    f.command = std::move(command);
    f.courseId = "jsjyy01";
    f.courseFolder = "/home/u/courses/jsjyy01";
    return f;
}

std::string Compose(const DesktopEntryFields& f) {
    std::string text, error;
    EXPECT_TRUE(ComposeDesktopEntry(f, &text, &error)) << error;
    return text;
}

// Runs desktop-file-validate on the text when the tool is there.
void ExpectValidates(const std::string& text) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    char dir[] = "/tmp/telvora-desktop-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/telvora-test.desktop";
    std::ofstream(file, std::ios::binary) << text;
    const std::string cmd = "desktop-file-validate '" + file + "' 2>&1";
    std::string output;
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        output += buf;
    const int status = pclose(p);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(status, 0) << output << "\n" << text;
    EXPECT_EQ(output, "") << text;
}

TEST(DesktopEntryTest, ExecArgumentsAreQuotedOnlyWhenTheyMustBe) {
    std::string q;
    ASSERT_TRUE(QuoteExecArgument("/home/u/courses/jsjyy01/bin/lesson", &q));
    EXPECT_EQ(q, "/home/u/courses/jsjyy01/bin/lesson");
    ASSERT_TRUE(QuoteExecArgument("/home/u/my courses/bin/lesson", &q));
    EXPECT_EQ(q, "\"/home/u/my courses/bin/lesson\"");
    ASSERT_TRUE(QuoteExecArgument("/a/\"b\"/$HOME/`x`/c\\d", &q));
    EXPECT_EQ(q, "\"/a/\\\"b\\\"/\\$HOME/\\`x\\`/c\\\\d\"");
    // Characters the shell would read are reserved too: quoted, not escaped.
    ASSERT_TRUE(QuoteExecArgument("/a;b&c|d(e)'f'~g*?#<>", &q));
    EXPECT_EQ(q, "\"/a;b&c|d(e)'f'~g*?#<>\"");
    // A percent sign is a field code unless doubled, quoted or not.
    ASSERT_TRUE(QuoteExecArgument("/100%/x", &q));
    EXPECT_EQ(q, "/100%%/x");
    ASSERT_TRUE(QuoteExecArgument("/100% sure/%f", &q));
    EXPECT_EQ(q, "\"/100%% sure/%%f\"");
    // Non-ASCII passes as it is.
    ASSERT_TRUE(QuoteExecArgument(U("/课件/bin/lesson"), &q));
    EXPECT_EQ(q, U("/课件/bin/lesson"));
}

TEST(DesktopEntryTest, ExecRefusesWhatTheKeyCannotCarry) {
    std::string q = "untouched";
    EXPECT_FALSE(QuoteExecArgument("", &q));
    EXPECT_FALSE(QuoteExecArgument("/a\nb", &q));
    EXPECT_FALSE(QuoteExecArgument("/a\tb", &q));
    EXPECT_FALSE(QuoteExecArgument(std::string("/a\x01") + "b", &q));
    EXPECT_FALSE(QuoteExecArgument("/a\x7f", &q));
    EXPECT_EQ(q, "untouched");

    std::string text, error;
    EXPECT_FALSE(ComposeDesktopEntry(Fields({"/a/\nb/lesson"}), &text, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ComposeDesktopEntry(Fields({"/a/\xb2\xe2/lesson"}), &text, &error))
        << "GBK bytes are not UTF-8";
    EXPECT_FALSE(ComposeDesktopEntry(Fields({}), &text, &error));
    DesktopEntryFields f = Fields({"/x"});
    f.name = "\xbc\xc6\xcb\xe3";  // GBK, not UTF-8
    EXPECT_FALSE(ComposeDesktopEntry(f, &text, &error));
}

TEST(DesktopEntryTest, ExecReadsBackAsTheSameArguments) {
    const std::vector<std::vector<std::string>> commands = {
        {"/home/u/courses/jsjyy01/bin/lesson"},
        {"/home/u/my courses/jsjyy01/bin/lesson"},
        {"env", "TELVORA_PREFIX=/tmp/p q", U("/srv/课件 一/bin/lesson")},
        {"/a\\b\\\\c/lesson"},
        {"/we \"quote\" $HOME `cmd` \\ back/lesson"},
        {"/100%/%f/%%/lesson"},
        {"/a'b/c;d&e/lesson"},
        {" /leading and trailing blanks "},
    };
    for (const auto& command : commands) {
        const std::string text = Compose(Fields(command));
        // The raw line, so that the string escapes are undone here too.
        const std::size_t at = text.find("\nExec=");
        ASSERT_NE(at, std::string::npos) << text;
        const std::string exec = text.substr(at + 6, text.find('\n', at + 1) - at - 6);
        std::vector<std::string> args;
        ASSERT_TRUE(ParseExec(exec, &args)) << exec;
        EXPECT_EQ(args, command) << exec;
    }
}

TEST(DesktopEntryTest, ABackslashInAQuotedArgumentIsWrittenFourTimes) {
    // The string escape applies before the quoting, as the format says.
    const std::string text = Compose(Fields({"/my dir/a\\b"}));
    EXPECT_NE(text.find("Exec=\"/my dir/a\\\\\\\\b\"\n"), std::string::npos) << text;
}

TEST(DesktopEntryTest, NameKeepsItsTextAndEscapesWhatAValueCannotHold) {
    EXPECT_EQ(EscapeDesktopValue(U("计算机应用基础")), U("计算机应用基础"));
    EXPECT_EQ(EscapeDesktopValue("a\\b"), "a\\\\b");
    EXPECT_EQ(EscapeDesktopValue("one\ntwo\tthree\rfour"), "one\\ntwo\\tthree\\rfour");
    // Blanks inside stay; at the ends they would be dropped by readers.
    EXPECT_EQ(EscapeDesktopValue(" a b "), "\\sa b\\s");
    // A control character has no escape: a blank stands for it.
    EXPECT_EQ(EscapeDesktopValue(std::string("a\x01") + "b\x1b"), "a b ");

    DesktopEntryFields f = Fields({"/x/lesson"});
    f.name = U(" 课件\n第二行\\ ");
    const std::string text = Compose(f);
    EXPECT_NE(text.find(U("\nName=\\s课件\\n第二行\\\\\\s\n")), std::string::npos) << text;
    std::string name;
    ASSERT_TRUE(ReadDesktopEntryValue(text, "Name", &name));
    EXPECT_EQ(name, f.name);
}

TEST(DesktopEntryTest, TheEntryNamesTheCourseAndPassesTheValidator) {
    DesktopEntryFields f = Fields({"env", "TELVORA_PREFIX=/tmp/a b", "/srv/my courses/x/lesson"});
    f.comment = U("课件 jsjyy01");
    f.tryExec = "/srv/my courses/x/lesson";
    f.icon = "telvora-course";
    f.courseFolder = "/srv/my courses/x";
    const std::string text = Compose(f);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    for (const std::string& line : std::vector<std::string>{
             "\nType=Application\n", U("\nName=计算机应用基础\n"), U("\nComment=课件 jsjyy01\n"),
             "\nExec=env \"TELVORA_PREFIX=/tmp/a b\" \"/srv/my courses/x/lesson\"\n",
             "\nTryExec=/srv/my courses/x/lesson\n", "\nIcon=telvora-course\n",
             "\nTerminal=false\n", "\nCategories=Education;\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    }
    std::string value;
    ASSERT_TRUE(ReadDesktopEntryValue(text, kEntryCourseIdKey, &value));
    EXPECT_EQ(value, "jsjyy01");
    ASSERT_TRUE(ReadDesktopEntryValue(text, kEntryCourseFolderKey, &value));
    EXPECT_EQ(value, "/srv/my courses/x");
    ExpectValidates(text);
}

TEST(DesktopEntryTest, HostileFieldsStillMakeAValidEntry) {
    DesktopEntryFields f = Fields({"/we \"q\" $H `c` \\ 100% ;&|/lesson"});
    f.name = U("\t名 \\ [x] =y\n");
    f.comment = " ";
    f.courseFolder = "/we \"q\" $H `c` \\ 100% ;&|";
    f.courseId = "id with blanks";
    f.tryExec = f.command[0];
    ExpectValidates(Compose(f));
}

TEST(DesktopEntryTest, ValuesAreReadFromTheEntryGroupOnly) {
    const std::string text =
        "# Name=comment\n"
        "[Other Group]\n"
        "Name=other\n"
        "[Desktop Entry]\n"
        "Type=Application\n"
        "  Name  =  \\sspaced\\s  \r\n"
        "[Desktop Action x]\n"
        "Exec=nothing\n";
    std::string value;
    ASSERT_TRUE(ReadDesktopEntryValue(text, "Name", &value));
    EXPECT_EQ(value, " spaced ");
    EXPECT_FALSE(ReadDesktopEntryValue(text, "Exec", &value));
    EXPECT_FALSE(ReadDesktopEntryValue("Name=x\n", "Name", &value));
}

TEST(DesktopEntryTest, TheFileIsNamedAfterTheCourse) {
    EXPECT_EQ(DesktopEntryFileName("jsjyy01"), "telvora-jsjyy01.desktop");
    EXPECT_EQ(DesktopEntryFileName(U("化学")), U("telvora-化学.desktop"));
}

}  // namespace
