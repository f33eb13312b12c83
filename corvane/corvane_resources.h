// The module's resources as data: strings, version information, dialog
// templates, icons and the toolbox bitmap.
#pragma once

#include <map>
#include <string>
#include <vector>

// String table (GBK).
std::map<unsigned, std::string> CorvaneStrings();

struct VersionInfo {
    unsigned fileVersion[4];
    unsigned productVersion[4];
    std::string fileVersionText;
    std::string productVersionText;
    std::string fileDescription;
    std::string productName;
    std::string internalName;
    std::string originalFilename;
    std::string companyName;
    std::string legalCopyright;
    bool oleSelfRegister;  // the empty OLESelfRegister entry: the module registers itself
    unsigned translationLanguage;
    unsigned translationCodePage;
};
const VersionInfo& CorvaneVersionInfo();

// The toolbox bitmap (16 by 15 pixels) as PNG bytes; the registry's
// ToolboxBitmap32 entry names it.
const std::vector<unsigned char>& CorvaneToolboxBitmap();

// Registers the dialog templates (1, 200, 211, 218, 219, 221) and icon 1 with the window
// core. Icons 217 and 220 are the platform's own artwork.
void RegisterCorvaneResources();
