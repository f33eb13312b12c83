#include "tools/update-server/user_command.h"

#include <filesystem>
#include <vector>

#include "platform/text/text.h"
#include "tools/update-server/file_io.h"
#include "tools/update-server/folder_lock.h"
#include "tools/update-server/package_store.h"
#include "tools/update-server/publish.h"
#include "tools/update-server/user_accounts.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kLockWaitSeconds = 30;

int Refuse(std::ostream& err, const std::string& utf8) {
    err << "telvora-update-server: user: " << utf8 << "\n";
    return kExitRefused;
}

// The lines of the accounts file; false when it exists but cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>* lines) {
    lines->clear();
    std::error_code ec;
    if (!fs::exists(path, ec))
        return true;
    std::string all;
    if (!ReadWholeFile(path, &all))
        return false;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        lines->push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

// Rewrites the accounts file: every line kept as it was (comments and lines
// this version does not understand too) except name's, which replacement
// takes the place of (or is appended; or dropped when empty). *left counts
// the accounts in the new file.
int ChangeAccount(const std::string& dirUtf8, const std::string& name,
                  const std::string& replacement, bool mustExist, std::ostream& err, bool* existed,
                  int* left) {
    std::error_code ec;
    if (!mustExist)
        fs::create_directories(dirUtf8, ec);
    if (!fs::is_directory(dirUtf8, ec))
        return Refuse(err, dirUtf8 + " is not a folder");
    CPackageStore store(dirUtf8);
    std::string error;
    CFolderLock lock;
    if (!lock.Acquire(store.LockFile(), kLockWaitSeconds, &error))
        return Refuse(err, error);
    std::vector<std::string> lines;
    if (!ReadLines(store.UsersFile(), &lines))
        return Refuse(err, store.UsersFile() + " exists but cannot be read");
    std::string content;
    *existed = false;
    *left = replacement.empty() ? 0 : 1;
    bool placed = false;
    for (const std::string& line : lines) {
        CUserRecord record;
        const bool account = ParseUserLine(text::Trim(line), &record);
        if (account && record.name == name) {
            *existed = true;
            if (!placed && !replacement.empty())
                content += replacement + "\n";
            placed = true;
            continue;
        }
        *left += account ? 1 : 0;
        content += line + "\n";
    }
    if (mustExist && !*existed)
        return Refuse(err, "there is no account \"" + text::GbkToUtf8(name) + "\"");
    if (lines.empty())
        content = ComposeUsersFile({});
    if (!placed && !replacement.empty())
        content += replacement + "\n";
    if (!ReplaceFileContent(store.UsersFile(), content, true))
        return Refuse(err, "cannot write " + store.UsersFile());
    return kExitDone;
}

}  // namespace

int AddUser(const std::string& dirUtf8, const std::string& name, std::istream& in,
            std::ostream& out, std::ostream& err) {
    if (const std::string problem = UserNameProblem(name); !problem.empty())
        return Refuse(err, "the user name \"" + text::GbkToUtf8(name) + "\" " + problem);
    std::string line;
    if (!std::getline(in, line))
        return Refuse(err, "no password: give it as one line on standard input");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const std::string password = text::Utf8ToGbk(line);
    if (text::GbkToUtf8(password) != line)
        return Refuse(err,
                      "the password is not UTF-8 text, or holds a character that GBK lacks "
                      "(the update control sends GBK)");
    if (password.empty())
        return Refuse(err, "the password is empty");
    CUserRecord record;
    record.name = name;
    if (!MakePasswordHash(password, kPasswordIterations, &record.hash))
        return Refuse(err, "the password could not be hashed (random generator or hash failed)");
    bool existed = false;
    int left = 0;
    if (const int status =
            ChangeAccount(dirUtf8, name, ComposeUserLine(record), false, err, &existed, &left);
        status != kExitDone)
        return status;
    out << (existed ? "changed the password of \"" : "added the account \"")
        << text::GbkToUtf8(name) << "\"\n";
    return kExitDone;
}

int RemoveUser(const std::string& dirUtf8, const std::string& name, std::ostream& out,
               std::ostream& err) {
    bool existed = false;
    int left = 0;
    if (const int status = ChangeAccount(dirUtf8, name, "", true, err, &existed, &left);
        status != kExitDone)
        return status;
    out << "removed the account \"" << text::GbkToUtf8(name) << "\"\n";
    if (left == 0)
        out << "no account is left: nobody can log in until one is added (delete "
            << CPackageStore(dirUtf8).UsersFile() << " to serve without accounts)\n";
    return kExitDone;
}
