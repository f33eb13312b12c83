#include "tools/setup/cd_drive_lease.h"

#include <filesystem>

#include "common/cd_drive.h"
#include "platform/error/error.h"
#include "platform/fs/fs.h"
#include "platform/prefix/prefix.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace {

const char kDriveTypesKey[] = "Software\\Telvora\\Drives";

std::string Root(char letter) {
    return std::string(1, letter) + ":\\";
}
std::string TypeValueName(char letter) {
    return std::string(1, static_cast<char>(letter - 'A' + 'a')) + ":";
}

}  // namespace

CCdDriveLease::~CCdDriveLease() {
    Restore();
}

void CCdDriveLease::Remember(char letter) {
    m_cLetter = letter;
    m_strOldTarget = DriveTarget(letter);
    m_strOldType = RegGetString(HKEY_LOCAL_MACHINE, kDriveTypesKey, TypeValueName(letter));
}

void CCdDriveLease::Restore() {
    if (m_cLetter == 0)
        return;
    const char letter = m_cLetter;
    m_cLetter = 0;
    if (m_strOldTarget) {
        SetDriveTarget(letter, *m_strOldTarget, false);
    } else {
        RemoveDrive(letter);
    }
    if (m_strOldType) {
        RegPutString(HKEY_LOCAL_MACHINE, kDriveTypesKey, TypeValueName(letter), *m_strOldType);
    } else {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kDriveTypesKey, &key) == ERROR_SUCCESS) {
            RegDeleteValue(key, TypeValueName(letter).c_str());
            RegCloseKey(key);
        }
    }
}

bool CCdDriveLease::CheckInstallerFinds(char letter, std::string* error) const {
    std::string found = FindCdDrive();
    if (found == Root(letter))
        return true;
    if (found.empty()) {
        *error = Root(letter) + " is not a CD-ROM drive from D: to M:, where the installer looks";
    } else {
        *error = "the installer takes the first CD-ROM drive, " + found + ", not " + Root(letter);
    }
    return false;
}

bool CCdDriveLease::UseDrive(char letter, bool keepAsItWas, std::string* root, std::string* error) {
    if (GetDriveType(Root(letter)) != DRIVE_CDROM) {
        *error = Root(letter) + " is not a CD-ROM drive";
        return false;
    }
    if (!CheckInstallerFinds(letter, error))
        return false;
    if (keepAsItWas)
        Remember(letter);
    *root = Root(letter);
    return true;
}

bool CCdDriveLease::MapFolder(const std::string& unixFolder, char wanted, std::string* root,
                              std::string* error) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(unixFolder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        *error = "the CD folder " + unixFolder + " does not exist";
        return false;
    }
    folder = folder.lexically_normal();
    char letter = wanted;
    if (letter == 0) {
        std::string found = FindCdDrive();
        if (!found.empty())
            letter = found[0];
    }
    for (char c = 'D'; letter == 0 && c <= 'M'; ++c) {
        if (!DriveTarget(c) && GetDriveType(Root(c)) == DRIVE_NO_ROOT_DIR)
            letter = c;
    }
    if (letter == 0) {
        *error = "no drive letter from D: to M: is free for the CD";
        return false;
    }
    std::string why;
    if (!EnsurePrefix(&why)) {
        *error = "can't use the prefix " + PrefixDir() + " (TELVORA_PREFIX): " + why;
        return false;
    }
    Remember(letter);
    if (!SetDriveTarget(letter, folder.string(), true)) {
        *error = "can't map " + folder.string() + " as drive " + Root(letter) + " in the prefix " +
                 PrefixDir() + ": " + text::TrimRight(FormatSystemMessage(GetLastError()));
        Restore();
        return false;
    }
    if (!CheckInstallerFinds(letter, error)) {
        Restore();
        return false;
    }
    *root = Root(letter);
    return true;
}
