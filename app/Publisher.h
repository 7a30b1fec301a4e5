#pragma once
// Who signed a program: the certificate in its Authenticode signature, by its names, its key and
// what it may be used for.
#include "base/Win.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace app {

// The SHA-256 hash of a certificate's public key as the certificate encodes it (its
// SubjectPublicKeyInfo): what pins a signer, whatever names its certificate carries.
using KeyHash = std::array<BYTE, 32>;

// A signer's names as its certificate encodes them: the whole subject, every part of it, and
// the issuer. A renewed certificate from the same issuer carries the same names.
struct Publisher {
    std::vector<BYTE> subject;
    std::vector<BYTE> issuer;

    [[nodiscard]] bool operator==(const Publisher&) const = default;
};

// The signer named in the file's signature, as written, whether or not the signature still
// verifies (an expired certificate, a changed byte); nothing when the file carries no signature
// or it names no certificate.
[[nodiscard]] std::optional<Publisher> ReadWrittenPublisher(const std::wstring& path) noexcept;

// The certificate that signed a file whose signature verified.
struct Signer {
    Publisher names;
    KeyHash key{};
    bool codeSigning = false; // its extended key usage names code signing
};

struct VerifiedSignature {
    LONG trust = TRUST_E_NOSIGNATURE; // WinVerifyTrust's answer: 0 when it verifies
    std::optional<Signer> signer;     // only when it verifies
};

// Verifies the signature of the open file that `path` names (digest, and on Windows the chain
// to a trusted root), reading it through the handle.
[[nodiscard]] VerifiedSignature VerifySignature(HANDLE file, const std::wstring& path) noexcept;

} // namespace app
