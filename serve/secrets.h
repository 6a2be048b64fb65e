// Hashes, random codes and comparisons for what the server keeps secret or proves: the sponsor's key, the
// sessions, the forms' tokens, the receipts, and the SHA-256 of every stored log.
#ifndef ZORVANT_SERVE_SECRETS_H_
#define ZORVANT_SERVE_SECRETS_H_

#include <string>
#include <string_view>

namespace serve {

// The SHA-256 of `bytes`, in lower-case hexadecimal.
std::string Sha256Hex(std::string_view bytes);

// `length` characters drawn from the system's random source, of an alphabet without look-alikes (no 0/O,
// 1/I/L), so that a code read aloud or typed from paper comes out right: almost 5 bits a character.
std::string RandomCode(std::size_t length);

// Whether two secrets are equal, in a time that tells nothing of where they differ (nor of their lengths).
bool SameSecret(std::string_view a, std::string_view b);

}  // namespace serve

#endif  // ZORVANT_SERVE_SECRETS_H_
