#pragma once
// The public keys that may sign the updater, fixed when QUIB.exe is built: the CMake cache
// variable QUIB_UPDATER_SIGNER_KEYS lists the SHA-256 hashes of their SubjectPublicKeyInfo, in
// hex, separated by ';'. Empty by default: the tool's own signature decides then (UpdaterTrust.h).
#include "app/Publisher.h"

#include <span>

namespace app {

[[nodiscard]] std::span<const KeyHash> BuiltInUpdaterKeys() noexcept;

} // namespace app
