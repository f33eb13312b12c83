#include "install/inserted_cd_check.h"

#include "common/course_format.h"
#include "platform/fs/fs.h"

bool CheckInsertedCd(const std::string& cdRoot, const std::string& courseName, bool* nameMatched,
                     std::string* cdCourseName) {
    CFile file;
    if (!file.Open(cdRoot + "left\\items.vbs", CFile::modeRead))
        return false;
    *nameMatched = false;
    DiscItems items;
    items.cdCourseName = *cdCourseName;
    std::string line;
    while (file.ReadLine(&line) && TakeDiscItemsLine(line, &courseName, &items)) {
    }
    *nameMatched = items.nameMatched;
    *cdCourseName = items.cdCourseName;
    return items.hasStartChapter && items.startChapter > 1;
}
