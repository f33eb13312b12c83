#include "common/cd_drive.h"

#include <gtest/gtest.h>

#include "common/system_error.h"
#include "common/tests/test_support.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"

namespace {

class CdDriveTest : public ::testing::Test {
protected:
    CourseTestEnv env;
    // Gives letter a folder of its own and a type ("cdrom", "hd").
    void Drive(char letter, const char* type) {
        std::string folder = env.root + "/drive-" + letter;
        CourseTestEnv::WriteFile(folder + "/marker", "x");
        ASSERT_TRUE(SetDriveTarget(letter, folder, false));
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives",
                                 std::string(1, letter) + ":", type));
    }
};

TEST_F(CdDriveTest, LowestCdRomFromDUpWins) {
    Drive('a', "floppy");
    Drive('d', "hd");
    Drive('e', "cdrom");
    EXPECT_EQ(FindCdDrive(), "E:\\");
    Drive('d', "cdrom");
    Drive('f', "cdrom");
    EXPECT_EQ(FindCdDrive(), "D:\\");
}

TEST_F(CdDriveTest, NoLetterAboveCMeansNoDrive) {
    Drive('a', "floppy");
    EXPECT_EQ(FindCdDrive(), "");
}

TEST_F(CdDriveTest, LettersAfterMAreNeverReturned) {
    Drive('d', "hd");
    Drive('q', "cdrom");
    EXPECT_EQ(FindCdDrive(), "");
    Drive('g', "hd");
    EXPECT_EQ(FindCdDrive(), "");
}

// A dialog that sends itself the AutoPlay question and records the answer.
class CProbeDialog : public CAutoPlayDialog {
public:
    CProbeDialog() : CAutoPlayDialog(9001) {}
    LRESULT answer = 0;
    LONG_PTR msgResult = 0;
    LRESULT other = 0;

protected:
    BOOL OnInitDialog() override {
        CAutoPlayDialog::OnInitDialog();
        answer = SendMessage(m_hWnd, g_uQueryCancelAutoPlay, 0, 0);
        msgResult = GetWindowLongPtr(m_hWnd, DWLP_MSGRESULT);
        other = SendMessage(m_hWnd, WM_USER + 7, 0, 0);
        EndDialog(IDOK);
        return TRUE;
    }
};

TEST_F(CdDriveTest, DialogsAnswerQueryCancelAutoPlayWithMinusOne) {
    DialogTemplate t;
    t.id = 9001;
    t.title = "probe";
    t.cx = 100;
    t.cy = 50;
    RegisterDialogTemplate(t);
    RegisterQueryCancelAutoPlay();
    UINT id = g_uQueryCancelAutoPlay;
    EXPECT_GE(id, 0xC000u);
    RegisterQueryCancelAutoPlay();
    EXPECT_EQ(g_uQueryCancelAutoPlay, id);
    CProbeDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    // A dialog's sender sees the message result the procedure set.
    EXPECT_EQ(dlg.answer, -1);
    EXPECT_EQ(dlg.msgResult, -1);
    EXPECT_EQ(dlg.other, 0);
}

TEST_F(CdDriveTest, SystemErrorBoxShowsTheTextOfTheLastError) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    ShowSystemError();
    ASSERT_EQ(env.renderer->Boxes().size(), 1u);
    EXPECT_EQ(env.renderer->Boxes()[0].text, FormatSystemMessage(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(env.renderer->Boxes()[0].type & MB_ICONINFORMATION, MB_ICONINFORMATION);
}

}  // namespace
