// telvora-update-server user: adds, changes and removes the accounts of a
// served folder (format in user_accounts.h).
#pragma once

#include <istream>
#include <ostream>
#include <string>

// Adds the account name (GBK), or gives an existing one a new password. The
// password is the first line of in (UTF-8, converted to the GBK bytes the
// update control sends); it is hashed and never stored. Returns 0, or 1 with
// the reason on err.
int AddUser(const std::string& dirUtf8, const std::string& name, std::istream& in,
            std::ostream& out, std::ostream& err);
// Removes the account name; 1 when there is none.
int RemoveUser(const std::string& dirUtf8, const std::string& name, std::ostream& out,
               std::ostream& err);
