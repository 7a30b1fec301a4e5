#pragma once
// Who signed a program: the subject of the certificate in its Authenticode signature.
#include "base/Win.h"

#include <optional>
#include <string>

namespace app {

// The subject's common name and organisation. A maker renews its certificate (a new key, a new
// issuer) under the same subject, so the subject, not the key, tells the maker's programs.
struct Publisher {
    std::wstring commonName;
    std::wstring organisation;

    [[nodiscard]] bool operator==(const Publisher&) const = default;
};

// The signer named in the file's signature, as written, whether or not the signature still
// verifies (an expired certificate, a changed byte); nothing when the file carries no signature
// or it names no certificate.
[[nodiscard]] std::optional<Publisher> ReadWrittenPublisher(const std::wstring& path) noexcept;

struct VerifiedSignature {
    LONG trust = TRUST_E_NOSIGNATURE;   // WinVerifyTrust's answer: 0 when it verifies
    std::optional<Publisher> publisher; // the signer, only when it verifies
};

// Verifies the signature of the open file that `path` names (digest, and on Windows the chain
// to a trusted root), reading it through the handle.
[[nodiscard]] VerifiedSignature VerifySignature(HANDLE file, const std::wstring& path) noexcept;

} // namespace app
