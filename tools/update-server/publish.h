// telvora-update-server publish: adds one package to a course of a served
// folder (layout in package_store.h).
#pragma once

#include <ostream>
#include <string>

struct CPublishRequest {
    std::string dir;       // served folder, UTF-8
    std::string course;    // fileid, GBK
    std::string code;      // YYMMDDNN
    std::string archive;   // RAR archive to publish (UTF-8 path), or
    std::string from;      // a folder to pack into one (UTF-8 path)
    std::string notes;     // explanation page (UTF-8 path); empty: a default page
    std::string packTool;  // telvora-pack for --from (UTF-8 path); empty when not built
    // How long to wait for another publish in the same folder.
    unsigned lockWaitSeconds = 30;
};

// Exit statuses of publish and user (usage errors are 2, see
// update_server_main.h).
constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;

// Publishes: checks the course name and code (eight digits, newer than every
// package of the course), the archive (a RAR archive) and the notes, copies
// them in under scratch names, then, holding the folder's lock and checking
// the code again, renames them into place and appends the package to the
// course's index in one rename. Returns kExitDone, or kExitRefused with the
// reason on err; a refused publish leaves the folder as it was.
int PublishPackage(const CPublishRequest& request, std::ostream& out, std::ostream& err);

// Withdraws the package code of course (GBK) from the folder dir: the
// index stops naming it (in one rename, keeping "# withdrawn CODE", so the
// code is never published again), then its files are removed.
int UnpublishPackage(const std::string& dir, const std::string& course, const std::string& code,
                     std::ostream& out, std::ostream& err, unsigned lockWaitSeconds = 30);

// Writes what is published in dir (UTF-8): every course, or only course
// (GBK) when it is not empty, with each package's code, size and date.
int ListPackages(const std::string& dir, const std::string& course, std::ostream& out,
                 std::ostream& err);

// True when bytes begin like a RAR archive (versions 1.5 to 5).
bool LooksLikeRar(std::string_view bytes);
