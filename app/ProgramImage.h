#pragma once
// Reads the headers of a Windows program file: enough to tell a program that this machine can
// start from an error page, an empty or a cut-off download, a library, a driver or a firmware
// image, and to see whether a signature is attached.
#include "base/Win.h"

#include <optional>

namespace app {

struct ProgramImage {
    // The certificate table is not empty: the file carries an Authenticode signature, valid or
    // not.
    bool carriesSignature = false;
};

// The headers' facts when the open file is a Windows program for x64 or x86 (MZ and PE headers,
// an executable image that is no DLL, for the Windows GUI or console subsystem, whose entry
// point lies inside a section) and holds every section that its section table names. Nothing
// otherwise, and nothing when the file cannot be read. Reads from the file's start, and leaves
// the file's position there.
[[nodiscard]] std::optional<ProgramImage> ReadProgramImage(HANDLE file) noexcept;

} // namespace app
