// The CD-ROM drive of one setup run. A course CD kept in a folder is mapped
// as the drive the installer finds, and every letter the run touched is put
// back as it was when the run ends (the installer's prompt may point a
// letter at the next disc).
#pragma once

#include <optional>
#include <string>

class CCdDriveLease {
public:
    CCdDriveLease() = default;
    ~CCdDriveLease();
    CCdDriveLease(const CCdDriveLease&) = delete;
    CCdDriveLease& operator=(const CCdDriveLease&) = delete;

    // Uses the CD-ROM drive letter (D: to M:) that holds the first CD. It must
    // be the drive the installer finds. With keepAsItWas the letter's entry is
    // restored at the end. Sets *root ("E:\").
    bool UseDrive(char letter, bool keepAsItWas, std::string* root, std::string* error);
    // Maps unixFolder as the CD-ROM drive: on wanted when given, else on the
    // CD-ROM letter the installer would find, else on the first free letter
    // from D:. Sets *root.
    bool MapFolder(const std::string& unixFolder, char wanted, std::string* root,
                   std::string* error);
    // Puts the letter back now (also done by the destructor).
    void Restore();
    // Leaves the letter as it is now, for later runs of the installer.
    void Keep() { m_cLetter = 0; }

private:
    void Remember(char letter);
    bool CheckInstallerFinds(char letter, std::string* error) const;

    char m_cLetter = 0;
    std::optional<std::string> m_strOldTarget;  // the letter's drives/ entry
    std::optional<std::string> m_strOldType;    // its drive type in the registry
};
