// telvora-ocx with the built libcorvane.so, end to end in a fresh prefix:
// registration, the CD media lookup as course pages use it (headless answers
// put discs in while the insert-CD dialog waits), and every kind of bad
// input with its exit status.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>  // std::chrono (<chrono> itself holds text GBK cannot)

#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "tests/e2e/e2e_support.h"

namespace fs = std::filesystem;

namespace {

struct COcxRun {
    int status = -1;
    std::string out;  // UTF-8
    std::string err;
};

// A character outside GBK (Thai), as UTF-8.
std::string U8Thai() {
    return "\xE0\xB8\x81";
}

// A shell word that stays one argument, whatever it holds.
std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

class OcxTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        m_ocx = Bin("telvora-ocx");
        m_module = Bin("libcorvane.so");
    }

    // Runs telvora-ocx headless with these answers (GBK text) and the test's
    // transcript; arguments are UTF-8.
    COcxRun Ocx(const std::vector<std::string>& args, const std::string& answers = "",
                const std::string& input = "") {
        const std::string answerFile = m_root + "/answers.txt";
        WriteFile(answerFile, text::GbkToUtf8(answers));
        WriteFile(m_root + "/in.txt", input);
        std::string command = "exec " + Quoted(m_ocx);
        for (const std::string& a : args) {
            command += " " + Quoted(a);
        }
        command += " <" + Quoted(m_root + "/in.txt") + " >" + Quoted(m_root + "/out.txt") + " 2>" +
                   Quoted(m_root + "/err.txt");
        COcxRun run;
        run.status = RunProgramAndWait("/bin/sh", {"-c", command},
                                       {{"TELVORA_UI", "headless"},
                                        {"TELVORA_ANSWERS", answerFile},
                                        {"TELVORA_ANSWER_TIMEOUT", "10"},
                                        {"TELVORA_TRANSCRIPT", m_transcript},
                                        {"TELVORA_SNAPSHOTS", "", true},
                                        {"DISPLAY", "", true},
                                        {"WAYLAND_DISPLAY", "", true}});
        run.out = ReadFile(m_root + "/out.txt");
        run.err = ReadFile(m_root + "/err.txt");
        return run;
    }
    COcxRun Call(std::vector<std::string> calls, const std::string& answers = "") {
        calls.insert(calls.begin(), {"call", "CORVANE.CorvaneCtrl.1"});
        return Ocx(calls, answers);
    }
    void Register() {
        COcxRun run = Ocx({"regsvr", m_module});
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(run.out, "0x00000000\n");
    }
    // A folder that is a CD of the course: its files (relative UTF-8 paths).
    std::string MakeDisc(const std::string& name, const std::vector<std::string>& files) {
        const std::string dir = m_root + "/" + name;
        fs::create_directories(dir);
        for (const std::string& f : files) {
            WriteFile(dir + "/" + f, "media " + f);
        }
        return dir;
    }
    // setup.ini (GBK lines) in the course folder; returns its Windows path.
    std::string WriteSetupIni(const std::string& gbkText) {
        WriteFile(m_root + "/course/setup.ini", gbkText);
        return ToWindowsPath(m_root + "/course/setup.ini").value_or("");
    }
    static std::string Win(const std::string& unixPath) {
        return text::GbkToUtf8(ToWindowsPath(unixPath).value_or(""));
    }

    std::string m_ocx;
    std::string m_module;
};

TEST_F(OcxTest, RegisteredControlFindsTheCdDriveOfThePrefix) {
    Register();
    ASSERT_TRUE(SetDriveTarget('d', m_root, false));
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives", "d:", "hd"));
    ASSERT_TRUE(SetDriveTarget('e', MakeDisc("cd1", {}), true));
    COcxRun run = Call({"GetCdDrive"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\"E:\\\\\"\n");
    EXPECT_EQ(ExitCodes("telvora-ocx"), std::vector<int>{0});

    // Unregistered again, the class is gone for every host.
    run = Ocx({"unregsvr", m_module});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0x00000000\n");
    run = Call({"GetCdDrive"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("no such class"), std::string::npos) << run.err;
    run = Ocx({"unregsvr", m_module});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "0x80040200\n");  // SELFREG_E_TYPELIB: nothing registered
}

TEST_F(OcxTest, GetCdDriveLooksFromDToMOnly) {
    Register();
    COcxRun run = Call({"GetCdDrive"});  // only C:
    EXPECT_EQ(run.out, "\"\"\n");
    ASSERT_TRUE(SetDriveTarget('q', MakeDisc("cdq", {}), true));
    run = Call({"GetCdDrive"});
    EXPECT_EQ(run.out, "\"\"\n");
    ASSERT_TRUE(SetDriveTarget('f', MakeDisc("cdf", {}), true));
    ASSERT_TRUE(SetDriveTarget('d', MakeDisc("cdd", {}), true));
    run = Call({"GetCdDrive"});
    EXPECT_EQ(run.out, "\"D:\\\\\"\n");  // the lowest letter wins
}

TEST_F(OcxTest, FindFileAnswersWhetherTheFileIsFree) {
    Register();
    const std::string disc = MakeDisc("cd1", {"content/a.asf", "content/b.asf"});
    ASSERT_TRUE(SetDriveTarget('e', disc, true));
    // b.asf is open in this process (shared, as a player would have it).
    CFile held;
    ASSERT_TRUE(held.Open("E:\\content\\b.asf", CFile::modeRead));
    COcxRun run = Call({"FindFile", "E:\\content\\a.asf", ",", "FindFile", "E:/content/b.asf", ",",
                        "FindFile", "E:\\content\\missing.asf"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "true\nfalse\nfalse\n");
    held.Close();
    run = Call({"FindFile", "E:\\content\\b.asf"});
    EXPECT_EQ(run.out, "true\n");
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(OcxTest, FindInfoReadsTheCourseRecordSilently) {
    Register();
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\chem7", "", "20040301"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\化学", "", "C:\\课程\\\"甲\""));
    ASSERT_TRUE(
        RegPutString(HKEY_CURRENT_USER, "software\\telvora\\long99", "", std::string(99, 'a')));
    ASSERT_TRUE(
        RegPutString(HKEY_CURRENT_USER, "software\\telvora\\long100", "", std::string(100, 'a')));
    COcxRun run = Call({"FindInfo", "chem7", ",", "FindInfo", "nosuchcourse", ",", "FindInfo",
                        U("化学"), ",", "FindInfo", "long99", ",", "FindInfo", "long100"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\"20040301\"\n\"\"\n" + U("\"C:\\\\课程\\\\\\\"甲\\\"\"") + "\n\"" +
                           std::string(99, 'a') + "\"\n\"\"\n");
    EXPECT_TRUE(BoxTexts().empty());
}

class RightMFileTest : public OcxTest {
protected:
    void SetUp() override {
        OcxTest::SetUp();
        Register();
        m_cd1 = MakeDisc("cd1", {"content/lesson1/a.asf"});
        m_cd2 = MakeDisc("cd2", {"content/lesson6/b.asf"});
        m_ini = WriteSetupIni("courseid=chem7\r\ncoursename=化学\r\ntotalcd=2\r\ncd1=5\r\n");
    }
    COcxRun Lookup(const std::string& chapter, const std::string& media,
                   const std::string& answers = "") {
        return Call({"RightMFile", text::GbkToUtf8(m_ini), chapter, media}, answers);
    }
    std::string m_cd1, m_cd2, m_ini;
};

TEST_F(RightMFileTest, TheFileOnTheDiscInTheDriveIsFoundAtOnce) {
    ASSERT_TRUE(SetDriveTarget('e', m_cd1, true));
    COcxRun run = Lookup("1", "../content/lesson1/a.asf");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\"E:\\\\content\\\\lesson1\\\\a.asf\"\n");
    EXPECT_TRUE(Events("dialog").empty());
}

TEST_F(RightMFileTest, TheRightDiscIsAskedForUntilItIsIn) {
    ASSERT_TRUE(SetDriveTarget('e', m_cd1, true));
    // The first 确定 finds still the wrong disc in; the second showing gets
    // disc 2 put in.
    COcxRun run = Lookup("6", "../content/lesson6/b.asf",
                         "dialog 221 : press 1\n"
                         "dialog 221 : insert E: \"" +
                             m_cd2 + "\" ; press 1\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\"E:\\\\content\\\\lesson6\\\\b.asf\"\n");
    EXPECT_EQ(Texts(221, 221),
              (std::vector<std::string>{U("请将《化学》课件的第2张光盘放入光驱中"),
                                        U("请将《化学》课件的第2张光盘放入光驱中")}));
    auto dialogs = Events("dialog");
    ASSERT_EQ(dialogs.size(), 4u);  // two showings, each opened and closed
    EXPECT_EQ(dialogs[0].at("title"), U("请注意"));
}

TEST_F(RightMFileTest, CancelGivesFalse) {
    ASSERT_TRUE(SetDriveTarget('e', m_cd1, true));
    COcxRun run = Lookup("5", "../content/lesson6/b.asf", "dialog 221 : press 2\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\"False\"\n");
    EXPECT_EQ(Texts(221, 221),
              std::vector<std::string>{U("请将《化学》课件的第1张光盘放入光驱中")});
}

TEST_F(RightMFileTest, OneDiscCoursesAskWithoutANumber) {
    ASSERT_TRUE(SetDriveTarget('e', m_cd1, true));
    m_ini = WriteSetupIni("courseid=chem7\r\ncoursename=X\r\ntotalcd=1\r\ncd1=5\r\n");
    COcxRun run = Lookup("9", "content/none.asf", "dialog 221 : press 2\n");
    EXPECT_EQ(run.out, "\"False\"\n");
    EXPECT_EQ(Texts(221, 221), std::vector<std::string>{U("请将《X》课件的光盘放入光驱中")});
}

TEST_F(RightMFileTest, ACd1LineEndsTheReading) {
    ASSERT_TRUE(SetDriveTarget('e', m_cd1, true));
    m_ini = WriteSetupIni("cd1=5\r\ncoursename=化学\r\ntotalcd=2\r\n");
    COcxRun run = Lookup("6", "content/none.asf", "dialog 221 : press 2\n");
    EXPECT_EQ(run.out, "\"False\"\n");
    EXPECT_EQ(Texts(221, 221), std::vector<std::string>{U("请将《》课件的光盘放入光驱中")});
}

TEST_F(RightMFileTest, MissingSetupIniOrDriveIsToldInABox) {
    ASSERT_TRUE(SetDriveTarget('e', m_cd1, true));
    COcxRun run =
        Call({"RightMFile", Win(m_root + "/nowhere/setup.ini"), "1", "../content/lesson1/a.asf"});
    EXPECT_EQ(run.out, "\"False\"\n");
    // A setup.ini that another program holds open counts as missing too.
    CFile held;
    ASSERT_TRUE(held.Open(m_ini, CFile::modeRead));
    run = Lookup("1", "../content/lesson1/a.asf");
    EXPECT_EQ(run.out, "\"False\"\n");
    held.Close();
    auto boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.at("text"), U("没有找到所需的setup.ini文件，请重新安装此课件"));
        EXPECT_EQ(box.at("caption"), U("提示！"));
        EXPECT_EQ(box.at("icon"), "information");
        EXPECT_EQ(box.at("buttons"), "ok");
    }

    ASSERT_TRUE(RemoveDrive('e'));
    run = Lookup("1", "../content/lesson1/a.asf");
    EXPECT_EQ(run.out, "\"False\"\n");
    boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].at("text"), U("您的计算机没有配置光驱!"));
    EXPECT_EQ(boxes[2].at("caption"), U("请注意!"));
    EXPECT_TRUE(Events("dialog").empty());
}

TEST_F(OcxTest, BadModulesAreRefusedWithTheReason) {
    WriteFile(m_root + "/notes.so", "plain text\n");
    COcxRun run = Ocx({"regsvr", m_root + "/notes.so"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a loadable shared library"), std::string::npos) << run.err;
    run = Ocx({"regsvr", Bin("libtelvora-platform.so")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("has no DllRegisterServer"), std::string::npos) << run.err;
    run = Ocx({"unregsvr", m_root + "/missing.so"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no such file"), std::string::npos) << run.err;
    run = Ocx({"regsvr", m_root});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty());
}

TEST_F(OcxTest, ControlsThatCannotBeCreatedExitWith3) {
    COcxRun run = Ocx({"call", "{742FCBC2-1DA1-40C9-B8CE}", "GetCdDrive"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("malformed class id"), std::string::npos) << run.err;
    run = Ocx({"call", "No.Such.Class", "GetCdDrive"});
    EXPECT_EQ(run.status, 3);
    run = Ocx({"call", "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}", "GetCdDrive"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("not registered"), std::string::npos) << run.err;
    // Registered, but the module has gone since.
    Register();
    ASSERT_TRUE(RegPutString(HKEY_CLASSES_ROOT,
                             "CLSID\\{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}\\InprocServer32", "",
                             "C:\\no\\such\\libcorvane.so"));
    run = Call({"GetCdDrive"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("module not found"), std::string::npos) << run.err;
}

TEST_F(OcxTest, BadCallsAreRefusedBeforeAnyCallIsMade) {
    Register();
    ASSERT_TRUE(SetDriveTarget('e', MakeDisc("cd1", {}), true));
    COcxRun run = Call({"GetCdDrive", ",", "Upload"});
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(run.out.empty());  // GetCdDrive never ran
    EXPECT_NE(run.err.find("no method \"Upload\""), std::string::npos) << run.err;

    run = Call({"GetCdDrive", ",", "FindInfo"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("FindInfo takes 1 argument(s), 0 given"), std::string::npos) << run.err;
    run = Call({"PutInfo", "1", "C:\\a", "abc"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("bShowWindow"), std::string::npos) << run.err;
    run = Call({"PutInfo", "1", "C:\\a", "99999999999"});
    EXPECT_EQ(run.status, 2);
    run = Call({"FindInfo", "\xFF\xFE"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("UTF-8"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
    // A character the system's text cannot hold is refused by the control.
    run = Call({"GetCdDrive", ",", "FindInfo", U8Thai()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "\"E:\\\\\"\n");
    EXPECT_NE(run.err.find("outside GBK"), std::string::npos) << run.err;

    run = Ocx({});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "telvora-ocx: no command given\nType \"telvora-ocx --help\" for usage.\n");
    run = Ocx({"call", "CORVANE.CorvaneCtrl.1", "GetCdDrive", ",", ","});
    EXPECT_EQ(run.status, 2);
}

TEST_F(OcxTest, MethodsWithoutResultPrintNullAndCourseDataIsTakenIn) {
    Register();
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\jsjyy01", "", "0"));
    COcxRun run = Call({"AboutBox", ",", "PutInfo", "", "D:\\courses\\physics1", "0", ",",
                        "HtmlInfo", "jsjyy01", ",", "HtmlInfo", "nosuchcourse", ",", "Download"},
                       "dialog 1 : press 1\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "null\ntrue\ntrue\ntrue\nfalse\n");
    // HtmlInfo: for jsjyy01 the version reads and the folder key is missing
    // (one box); a course without a record gives one box per value.
    auto boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 3u);
    for (const auto& box : boxes) {
        EXPECT_EQ(box.at("text"), U("读注册表失败"));
        EXPECT_EQ(box.at("caption"), "corvane");
        EXPECT_EQ(box.at("icon"), "exclamation");
    }
    auto dialogs = Events("dialog");
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(dialogs[0].at("id"), "1");
    EXPECT_EQ(dialogs[0].at("title"), "About Corvane Control");
}

}  // namespace

// ---- the course browser's host ----

TEST_F(OcxTest, TheHostKeepsItsControlsBetweenRequestsAndAnswersEveryLine) {
    Register();
    const std::string disc = MakeDisc("disc", {"content/v/a.asf"});
    ASSERT_TRUE(SetDriveTarget('e', MakeDisc("other", {}), true));
    const std::string ini = WriteSetupIni("[setup]\r\ncoursename=数学\r\ntotalcd=1\r\ncd1=5\r\n");
    std::string iniJson;
    for (char c : text::GbkToUtf8(ini))
        iniJson += c == '\\' ? std::string("\\\\") : std::string(1, c);
    const std::string requests =
        "{\"id\":1,\"op\":\"create\",\"clsid\":\"742fcbc2-1da1-40c9-b8ce-7ae456142ad9\"}\n"
        "{\"id\":2,\"op\":\"call\",\"object\":1,\"method\":\"rightmfile\",\"args\":[\"" +
        iniJson +
        "\",\"1\",\"../content/v/a.asf\"]}\n"
        "{\"id\":3,\"op\":\"call\",\"object\":1,\"method\":\"FindFile\",\"args\":[]}\n"
        "{\"id\":4,\"op\":\"call\",\"object\":1,\"method\":\"Nothing\",\"args\":[]}\n"
        "not json\n"
        "{\"id\":5,\"op\":\"release\",\"object\":1}\n"
        "{\"id\":6,\"op\":\"call\",\"object\":1,\"method\":\"GetCdDrive\",\"args\":[]}\n"
        "{\"id\":7,\"op\":\"create\",\"clsid\":\"00000000-0000-0000-0000-000000000001\"}\n";
    // The insert-CD prompt comes up in the host; the answer puts the disc in.
    COcxRun run = Ocx({"host"}, "dialog 221 : insert E: \"" + disc + "\" ; press 1\n", requests);
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 8u) << run.out;
    EXPECT_EQ(
        lines[0],
        "{\"id\":1,\"ok\":true,\"object\":1,\"methods\":[\"PutInfo\",\"Download\","
        "\"HtmlInfo\",\"GetCdDrive\",\"FindFile\",\"FindInfo\",\"RightMFile\",\"AboutBox\"]}");
    EXPECT_EQ(lines[1], "{\"id\":2,\"ok\":true,\"result\":\"E:\\\\content\\\\v\\\\a.asf\"}");
    EXPECT_EQ(lines[2],
              "{\"id\":3,\"ok\":false,\"error\":\"FindFile takes 1 argument(s), 0 given\"}");
    EXPECT_EQ(lines[3],
              "{\"id\":4,\"ok\":false,\"error\":\"the object has no method \\\"Nothing\\\"\"}");
    EXPECT_EQ(lines[4].rfind("{\"id\":null,\"ok\":false,\"error\":\"not a JSON object", 0), 0u);
    EXPECT_EQ(lines[5], "{\"id\":5,\"ok\":true}");
    EXPECT_EQ(lines[6], "{\"id\":6,\"ok\":false,\"error\":\"no such object\"}");
    EXPECT_EQ(lines[7].rfind("{\"id\":7,\"ok\":false,\"error\":\"cannot create", 0), 0u);
}

TEST_F(OcxTest, TheHostHandsMediaToThePlayersSubstitute) {
    const std::string record = m_root + "/played.txt";
    const std::string player = m_root + "/player";
    WriteFile(player, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + record + "\"\n");
    fs::permissions(player, fs::perms::owner_all);
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes", "wmplayer.exe",
                             player + " %*"));
    const std::string clip = m_root + "/" + U("课件 media") + "/a.asf";
    WriteFile(clip, "asf");
    COcxRun run = Ocx({"host"}, "", "{\"id\":1,\"op\":\"play\",\"path\":\"" + clip + "\"}\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"id\":1,\"ok\":true}\n");
    // Started to live on: its record comes when it has run.
    for (int i = 0; i < 400 && !fs::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(ReadFile(record), clip + "\n");
}
