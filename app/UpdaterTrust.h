#pragma once
// Whether a file may be started as the updater. A build that names the keys that may sign the
// updater starts only an updater whose signature verifies under one of those keys. A build
// without such a list falls back on the tool's own signature: a signed tool starts only an
// updater whose signature verifies and whose signer has the tool's signer's names (subject and
// issuer); an unsigned tool (a developer's, or a maker who does not sign) can check no more than
// that the file is a Windows program that starts here, so anyone on the network path can hand it
// one. A signer must be a code signer in every case.
#include "app/Publisher.h"

#include <span>
#include <string>

namespace app {

enum class UpdaterVerdict {
    Accepted,          // fit to be started
    NotAProgram,       // no Windows program that starts here (an error page, a library, a
                       // driver...), or cut off
    Unsigned,          // a signature was wanted, the updater carries none
    BadSignature,      // the signature does not verify: a changed byte, an untrusted chain...
    OtherPublisher,    // it verifies, but under a key that is not listed, or other names
    NotForCodeSigning, // it verifies, but its certificate is not for code signing
    UnknownTool,       // the tool's own file or signer cannot be read: nothing can be trusted
};

// `toolPath` is the tool's own program file, whose signature (or its absence) decides the rule
// when `pinnedKeys` is empty; `updater` the open file to be started, read through its handle
// (which the caller holds until the start, so that nothing else can take its place), and
// `updaterPath` its name.
[[nodiscard]] UpdaterVerdict VerifyUpdater(const std::wstring& toolPath, HANDLE updater,
                                           const std::wstring& updaterPath,
                                           std::span<const KeyHash> pinnedKeys) noexcept;

} // namespace app
