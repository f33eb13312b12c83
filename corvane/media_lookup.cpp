// The CD media lookup methods: GetCdDrive, FindFile, FindInfo, RightMFile.
#include "common/cd_drive.h"
#include "common/course_description.h"
#include "common/course_record.h"
#include "corvane/corvane_ctrl.h"
#include "corvane/corvane_state.h"
#include "corvane/insert_cd_dlg.h"
#include "corvane/media_paths.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"

namespace {

// Whether the file opens for reading with no sharing: any other handle open
// on it, whatever its own sharing, makes this fail.
bool OpensExclusively(const std::string& path) {
    CFile file;
    if (!file.Open(path, CFile::modeReadExclusive)) {
        return false;
    }
    file.Close();
    return true;
}

}  // namespace

std::string CCorvaneCtrl::GetCdDrive() {
    return FindCdDrive();
}

BOOL CCorvaneCtrl::FindFile(const std::string& strAsfPath) {
    return OpensExclusively(strAsfPath) ? TRUE : FALSE;
}

std::string CCorvaneCtrl::FindInfo(const std::string& strFolderName) {
    std::string version;
    ReadRecordValue(CourseRecordKey(strFolderName), &version);  // empty when it can't be read
    return version;
}

std::string CCorvaneCtrl::RightMFile(const std::string& strIniFilePath,
                                     const std::string& strChapter,
                                     const std::string& strAsfFilePath) {
    MediaLookupValues values;
    if (!ReadMediaLookupValues(strIniFilePath, &values)) {
        MessageBox(BoxOwner(), "没有找到所需的setup.ini文件，请重新安装此课件", "提示！",
                   MB_OK | MB_ICONINFORMATION);
        return "False";
    }
    g_strInsertCdMsg.Set(BuildInsertCdPrompt(values, strChapter));

    const std::string root = GetCdDrive();
    if (root.empty()) {
        MessageBox(BoxOwner(), "您的计算机没有配置光驱!", "请注意!", MB_OK | MB_ICONINFORMATION);
        return "False";
    }
    const std::string mediaPath = MediaPathOnDrive(root, strAsfFilePath);

    CInsertCdDlg dialog(BoxOwner());
    for (;;) {
        if (OpensExclusively(mediaPath)) {
            return WithBackslashes(mediaPath);
        }
        // Only 确定 tries again: 取消, a quit request or a dialog that cannot
        // be shown all give up.
        if (dialog.DoModal() != IDOK) {
            return "False";
        }
    }
}
