// A fresh prefix per test with drive W: on an empty work folder (see
// platform/fs/tests/fs_fixture.h), a folder standing for the caller's own
// program folder, a PATH of one test folder, and helpers to make program
// files and substitutes.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/fs/tests/fs_fixture.h"
#include "platform/registry/registry.h"

class ProcessServiceTest : public FsServiceTest {
protected:
    void SetUp() override {
        FsServiceTest::SetUp();
        const char* path = std::getenv("PATH");
        m_savedPath = path ? path : "";
        m_tools = m_root + "/tools";
        m_pathBin = m_root + "/path-bin";
        std::filesystem::create_directories(m_tools);
        std::filesystem::create_directories(m_pathBin);
        setenv("PATH", m_pathBin.c_str(), 1);
    }

    void TearDown() override {
        setenv("PATH", m_savedPath.c_str(), 1);
        FsServiceTest::TearDown();
    }

    // A file with content and permissions; a shell script by default.
    static std::string MakeFile(const std::string& unixPath,
                                const std::string& content = "#!/bin/sh\nexit 0\n",
                                mode_t mode = 0755) {
        WriteUnix(unixPath, content);
        chmod(unixPath.c_str(), mode);
        return unixPath;
    }

    // A Windows program as a course carries it.
    static std::string MakePeFile(const std::string& unixPath) {
        return MakeFile(unixPath, std::string("MZ\x90\0\3\0\0\0", 8), 0755);
    }

    static void SetSubstitute(const std::string& fileName, const std::string& command) {
        ASSERT_TRUE(
            RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes", fileName, command));
    }

    std::string m_savedPath;
    std::string m_tools;    // the caller's program folder
    std::string m_pathBin;  // the only folder on PATH
};
