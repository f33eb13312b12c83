// telvora-reg as users run it: the built program in a fresh prefix.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct CRun {
    int m_status = -1;
    std::string m_out;  // UTF-8, as printed
    std::string m_err;
};

class CRegToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/telvora-regtool-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_dir = dir;
        setenv("TELVORA_PREFIX", dir, 1);
        const char* bin = std::getenv("TELVORA_BIN");
        m_program = std::filesystem::path(bin ? bin : "build/bin") / "telvora-reg";
        ASSERT_TRUE(std::filesystem::exists(m_program)) << m_program;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Runs the tool with GBK arguments (passed on as UTF-8, as a shell
    // would), stdin empty, and collects what it printed.
    CRun Reg(const std::vector<std::string>& args) {
        std::string command = Quote(m_program.string());
        for (const std::string& arg : args)
            command += " " + Quote(text::GbkToUtf8(arg));
        const std::filesystem::path out = m_dir / "out", err = m_dir / "err",
                                    status = m_dir / "status";
        command +=
            " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null; echo $? >" + Quote(status);
        CRun run;
        if (std::system(command.c_str()) != 0)
            return run;
        run.m_out = ReadFile(out);
        run.m_err = ReadFile(err);
        run.m_status = std::stoi(ReadFile(status));
        return run;
    }

    static std::string Quote(const std::string& s) {
        std::string quoted = "'";
        for (const char c : s)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_program;
};

const std::string kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";

}  // namespace

TEST_F(CRegToolTest, RoundTripsChineseText) {
    const CRun add =
        Reg({"add", "HKCU\\Software\\Telvora\\课程\\1", "/ve", "/d", "D:\\课件\\第一课"});
    ASSERT_EQ(add.m_status, 0) << add.m_err;
    // Stored as GBK, readable by the programs.
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "software\\telvora\\课程\\1", ""),
              "D:\\课件\\第一课");

    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora\\课程", "说明", "光盘版"));
    const CRun query = Reg({"query", "HKEY_CURRENT_USER\\Software\\Telvora\\课程"});
    EXPECT_EQ(query.m_status, 0) << query.m_err;
    EXPECT_EQ(query.m_out, text::GbkToUtf8("\nHKEY_CURRENT_USER\\Software\\Telvora\\课程\n"
                                           "    说明    REG_SZ    光盘版\n\n"
                                           "HKEY_CURRENT_USER\\Software\\Telvora\\课程\\1\n"));

    const CRun one = Reg({"query", "hkcu\\software\\telvora\\课程\\1", "/ve"});
    EXPECT_EQ(one.m_status, 0);
    EXPECT_EQ(one.m_out, text::GbkToUtf8("\nHKEY_CURRENT_USER\\software\\telvora\\课程\\1\n"
                                         "    (Default)    REG_SZ    D:\\课件\\第一课\n\n"));
}

TEST_F(CRegToolTest, WritesNumbersAndRefusesBadOnes) {
    EXPECT_EQ(
        Reg({"add", "HKLM\\Software\\Telvora", "/v", "Count", "/t", "reg_dword", "/d", "0x1F"})
            .m_status,
        0);
    EXPECT_EQ(RegGetDword(HKEY_LOCAL_MACHINE, "Software\\Telvora", "Count"), 31u);
    const CRun query = Reg({"query", "HKLM\\Software\\Telvora", "/v", "count"});
    EXPECT_NE(query.m_out.find("    Count    REG_DWORD    0x1f\n"), std::string::npos)
        << query.m_out;

    for (const char* bad : {"12abc", "4294967296", "0x", "-1"}) {
        const CRun run = Reg(
            {"add", "HKLM\\Software\\Telvora", "/v", "Bad", "/t", "REG_DWORD", "/d", bad, "/f"});
        EXPECT_EQ(run.m_status, 1) << bad;
        EXPECT_NE(run.m_err.find("Invalid number"), std::string::npos) << run.m_err;
    }
    EXPECT_EQ(Reg({"add", "HKLM\\x", "/v", "v", "/t", "REG_BINARY", "/d", "00"}).m_status, 1);
    EXPECT_EQ(RegGetDword(HKEY_LOCAL_MACHINE, "Software\\Telvora", "Bad"), std::nullopt);
}

TEST_F(CRegToolTest, ReportsWhatIsMissing) {
    CRun run = Reg({"query", "HKCU\\Software\\Nothing"});
    EXPECT_EQ(run.m_status, 1);
    EXPECT_NE(run.m_err.find(kNotFound), std::string::npos) << run.m_err;
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora", "Server", "h"));
    run = Reg({"query", "HKCU\\Software\\Telvora", "/v", "Missing"});
    EXPECT_EQ(run.m_status, 1);
    EXPECT_NE(run.m_err.find(kNotFound), std::string::npos);
    run = Reg({"delete", "HKCU\\Software\\Telvora", "/v", "Missing", "/f"});
    EXPECT_EQ(run.m_status, 1);
    EXPECT_NE(run.m_err.find(kNotFound), std::string::npos);
    // A default value never set is shown as such.
    run = Reg({"query", "HKCU\\Software\\Telvora", "/ve"});
    EXPECT_EQ(run.m_status, 0);
    EXPECT_NE(run.m_out.find("(Default)    REG_SZ    (value not set)"), std::string::npos);
}

TEST_F(CRegToolTest, RefusesBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {{},
                                                       {"query"},
                                                       {"copy", "HKCU\\a"},
                                                       {"query", "HKCU\\a", "/t", "REG_SZ"},
                                                       {"add", "HKCU\\a", "/v"},
                                                       {"add", "HKCU\\a", "/v", "x", "/ve"},
                                                       {"delete", "HKCU\\a", "/s"},
                                                       {"add", "HKCU\\a", "stray"}};
    for (const std::vector<std::string>& args : bad) {
        const CRun run = Reg(args);
        EXPECT_EQ(run.m_status, 1);
        EXPECT_NE(run.m_err.find("ERROR: Invalid syntax."), std::string::npos) << run.m_err;
    }
    for (const char* key : {"HKXX\\a", "HKCU\\a\\\\b", "\\\\server\\HKLM\\a"}) {
        const CRun run = Reg({"add", key, "/f"});
        EXPECT_EQ(run.m_status, 1) << key;
        EXPECT_NE(run.m_err.find("ERROR: Invalid key name."), std::string::npos) << run.m_err;
    }
    EXPECT_EQ(Reg({"delete", "HKCU", "/f"}).m_status, 1);
    EXPECT_EQ(Reg({"/?"}).m_status, 0);
}

TEST_F(CRegToolTest, DeletesOnlyWhenToldTo) {
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora\\C1\\1", "", "/x"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora\\C1", "v", "1"));
    // No /f and nobody to answer: nothing happens.
    CRun run = Reg({"delete", "HKCU\\Software\\Telvora\\C1"});
    EXPECT_EQ(run.m_status, 1);
    EXPECT_NE(run.m_out.find("cancelled"), std::string::npos) << run.m_out;
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\C1\\1", ""), "/x");
    run = Reg({"add", "HKCU\\Software\\Telvora\\C1", "/v", "v", "/d", "2"});
    EXPECT_EQ(run.m_status, 1);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\C1", "v"), "1");

    EXPECT_EQ(Reg({"add", "HKCU\\Software\\Telvora\\C1", "/v", "v", "/d", "2", "/f"}).m_status, 0);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\C1", "v"), "2");
    EXPECT_EQ(Reg({"delete", "HKCU\\Software\\Telvora\\C1", "/v", "V", "/f"}).m_status, 0);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora\\C1", "v"), std::nullopt);
    EXPECT_EQ(Reg({"delete", "HKCU\\Software\\Telvora\\C1", "/f"}).m_status, 0);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Telvora\\C1", &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(CRegToolTest, SearchesTreesAndTheClassesView) {
    ASSERT_EQ(Reg({"add", "HKEY_CLASSES_ROOT\\Corvane.Ctrl\\CLSID", "/ve", "/d", "{1}"}).m_status,
              0);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Classes\\Corvane.Ctrl\\CLSID", ""), "{1}");
    ASSERT_TRUE(RegPutString(HKEY_CLASSES_ROOT, "Corvane.Ctrl", "", "Corvane"));

    CRun run = Reg({"query", "HKCR\\Corvane.Ctrl", "/s"});
    EXPECT_EQ(run.m_status, 0);
    EXPECT_EQ(run.m_out,
              "\nHKEY_CLASSES_ROOT\\Corvane.Ctrl\n    (Default)    REG_SZ    Corvane\n"
              "\nHKEY_CLASSES_ROOT\\Corvane.Ctrl\\CLSID\n    (Default)    REG_SZ    {1}\n");
    run = Reg({"query", "HKCR", "/v", "nothing", "/s"});
    EXPECT_EQ(run.m_status, 1);
    EXPECT_NE(run.m_out.find("End of search: 0 match(es) found."), std::string::npos);
}

TEST_F(CRegToolTest, DamagedStoreIsAnErrorNotACrash) {
    std::ofstream(RegistryDatabasePath(), std::ios::binary) << std::string(8192, '\x5a');
    const CRun run = Reg({"query", "HKCU\\Software"});
    EXPECT_EQ(run.m_status, 1);
    EXPECT_NE(run.m_err.find("ERROR: "), std::string::npos);
    EXPECT_TRUE(ReadFile(RegistryDatabasePath()) == std::string(8192, '\x5a'));
}
