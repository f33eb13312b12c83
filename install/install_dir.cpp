#include "install/install_dir.h"

#include "common/course_record.h"
#include "common/program_codes.h"
#include "platform/ui/ui.h"

bool ReadInstallDir(const std::string& courseId, std::string* installDir) {
    switch (ReadRecordValue(CourseRecordKey(courseId) + "\\1", installDir)) {
        case RecordRead::Read:
            return true;
        case RecordRead::NoKey:
            AfxMessageBox("读注册表失败");
            break;
        case RecordRead::Unreadable:
            AfxMessageBox("write register error");
            break;
    }
    PostQuitMessage(kQuitSetupError);
    return false;
}
