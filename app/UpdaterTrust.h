#pragma once
// Whether a file may be started as the updater. A signed build of the tool starts only an
// updater whose signature verifies and whose signer has the tool's own subject; an unsigned
// build (a developer's, or a maker who does not sign) can check no more than that the file is
// a Windows program for this machine, so anyone on the network path can hand it one.
#include "base/Win.h"

#include <string>

namespace app {

enum class UpdaterVerdict {
    Accepted,       // fit to be started
    NotAProgram,    // no Windows program that starts here (an error page, a library, a
                    // driver...), or cut off
    Unsigned,       // the tool is signed, the updater carries no signature
    BadSignature,   // the signature does not verify: a changed byte, an untrusted chain...
    OtherPublisher, // it verifies, but was signed under another subject than the tool
    UnknownTool,    // the tool's own file or signer cannot be read: nothing can be trusted
};

// `toolPath` is the tool's own program file, whose signature (or its absence) decides the rule;
// `updater` the open file to be started, read through its handle (which the caller holds until
// the start, so that nothing else can take its place), and `updaterPath` its name.
[[nodiscard]] UpdaterVerdict VerifyUpdater(const std::wstring& toolPath, HANDLE updater,
                                           const std::wstring& updaterPath) noexcept;

} // namespace app
