#include "platform/error/error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenByOther = 12345;
    std::thread t([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    });
    t.join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(LastError, MapsErrnoToWin32Codes) {
    EXPECT_EQ(ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorFromErrno(EACCES), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ErrorFromErrno(EEXIST), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ErrorFromErrno(ENOSPC), ERROR_DISK_FULL);
    SetLastErrorFromErrno(ENOTDIR);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(SystemMessage, FollowsTheUserLanguage) {
    setenv("LC_ALL", "zh_CN.GBK", 1);
    EXPECT_EQ(FormatSystemMessage(ERROR_FILE_NOT_FOUND), "系统找不到指定的文件。\r\n");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(FormatSystemMessage(ERROR_ACCESS_DENIED), "Access is denied.\r\n");
    EXPECT_NE(FormatSystemMessage(987654).find("987654"), std::string::npos);
    unsetenv("LC_ALL");
}

TEST(FrameworkError, RecordsItsCodeAsTheLastError) {
    SetLastError(ERROR_SUCCESS);
    try {
        throw CFileError("copy failed", ERROR_DISK_FULL);
    } catch (const CFrameworkError& e) {
        EXPECT_EQ(e.Code(), ERROR_DISK_FULL);
        EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    }
}
