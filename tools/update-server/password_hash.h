// Salted password hashes: PBKDF2-HMAC-SHA256 from GnuTLS, never a password
// kept as it is. Passwords are the bytes the client sends (GBK).
#pragma once

#include <string>
#include <string_view>

// Iterations for new hashes: slow enough to make guessing from a stolen
// accounts file costly, fast enough for a login (the server remembers a
// password it has checked, see user_accounts.h).
constexpr unsigned kPasswordIterations = 600000;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

struct CPasswordHash {
    unsigned iterations = 0;
    std::string salt;  // raw bytes
    std::string hash;  // raw bytes, kHashBytes long
};

// n random bytes from the system's generator; false when it fails.
bool RandomBytes(std::size_t n, std::string* out);

// A hash of password with a new random salt. False when the generator or the
// hash function fails.
bool MakePasswordHash(std::string_view password, unsigned iterations, CPasswordHash* out);

// True when password gives stored's hash (compared in constant time).
bool PasswordMatches(std::string_view password, const CPasswordHash& stored);

// HMAC-SHA256 of data under key (raw 32 bytes; empty on failure). Used to
// remember checked passwords without keeping them.
std::string KeyedDigest(std::string_view key, std::string_view data);

// Compares two byte strings in time that depends only on their lengths.
bool SameBytes(std::string_view a, std::string_view b);
