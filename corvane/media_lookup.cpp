// The CD media lookup methods: GetCdDrive, FindFile, FindInfo, RightMFile.
#include "common/cd_drive.h"
#include "common/course_description.h"
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
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, CourseRecordKey(strFolderName).c_str(), &key) !=
        ERROR_SUCCESS) {
        return "";
    }
    char buffer[100] = {};
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    LONG rc = RegQueryValueEx(key, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    // The key is closed on every path, not only after a successful read.
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) {
        return "";
    }
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
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
