#include "serve/secrets.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace serve {

namespace {

constexpr char kAlphabet[] = "23456789ABCDEFGHJKMNPQRSTUVWXYZ";  // 31 letters and digits, no look-alikes
constexpr std::size_t kLetters = sizeof kAlphabet - 1;

void Digest(std::string_view bytes, unsigned char (&out)[EVP_MAX_MD_SIZE], unsigned* size) {
  if (EVP_Digest(bytes.data(), bytes.size(), out, size, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned size = 0;
  Digest(bytes, digest, &size);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string RandomCode(std::size_t length) {
  std::string code;
  while (code.size() < length) {
    unsigned char bytes[64];
    if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("no random bytes to be had");
    for (unsigned char b : bytes) {
      // Bytes past the last whole round of the alphabet are dropped, so that every letter is equally likely.
      if (b < 256 / kLetters * kLetters && code.size() < length) code += kAlphabet[b % kLetters];
    }
  }
  return code;
}

bool SameSecret(std::string_view a, std::string_view b) {
  // Both are hashed first, so the comparison runs over two texts of one length whatever was given.
  unsigned char x[EVP_MAX_MD_SIZE], y[EVP_MAX_MD_SIZE];
  unsigned xs = 0, ys = 0;
  Digest(a, x, &xs);
  Digest(b, y, &ys);
  return CRYPTO_memcmp(x, y, xs) == 0;
}

}  // namespace serve
