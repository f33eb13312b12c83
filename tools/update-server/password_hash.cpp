#include "tools/update-server/password_hash.h"

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

namespace {

bool Pbkdf2(std::string_view password, std::string_view salt, unsigned iterations,
            std::string* out) {
    if (iterations == 0)
        return false;
    gnutls_datum_t key{reinterpret_cast<unsigned char*>(const_cast<char*>(password.data())),
                       static_cast<unsigned>(password.size())};
    gnutls_datum_t saltDatum{reinterpret_cast<unsigned char*>(const_cast<char*>(salt.data())),
                             static_cast<unsigned>(salt.size())};
    out->assign(kHashBytes, '\0');
    return gnutls_pbkdf2(GNUTLS_MAC_SHA256, &key, &saltDatum, iterations, out->data(),
                         out->size()) == 0;
}

}  // namespace

bool RandomBytes(std::size_t n, std::string* out) {
    out->assign(n, '\0');
    return n == 0 || gnutls_rnd(GNUTLS_RND_KEY, out->data(), n) == 0;
}

bool MakePasswordHash(std::string_view password, unsigned iterations, CPasswordHash* out) {
    CPasswordHash h;
    h.iterations = iterations;
    if (!RandomBytes(kSaltBytes, &h.salt) || !Pbkdf2(password, h.salt, iterations, &h.hash))
        return false;
    *out = std::move(h);
    return true;
}

bool PasswordMatches(std::string_view password, const CPasswordHash& stored) {
    std::string hash;
    if (stored.hash.size() != kHashBytes ||
        !Pbkdf2(password, stored.salt, stored.iterations, &hash))
        return false;
    return SameBytes(hash, stored.hash);
}

std::string KeyedDigest(std::string_view key, std::string_view data) {
    std::string digest(32, '\0');
    if (gnutls_hmac_fast(GNUTLS_MAC_SHA256, key.data(), key.size(), data.data(), data.size(),
                         digest.data()) != 0)
        return "";
    return digest;
}

bool SameBytes(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}
