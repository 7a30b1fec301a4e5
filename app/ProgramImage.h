#pragma once
// Reads the headers of a Windows program file: enough to tell a program for this machine from
// an error page, an empty or a cut-off download, and to see whether a signature is attached.
#include <optional>
#include <string>

namespace app {

struct ProgramImage {
    // The certificate table is not empty: the file carries an Authenticode signature, valid or
    // not.
    bool carriesSignature = false;
};

// The headers' facts when the file is a Windows program for x64 or x86 (MZ and PE headers, an
// executable image that is no DLL) and holds every section that its section table names.
// Nothing otherwise, and nothing when the file cannot be read.
[[nodiscard]] std::optional<ProgramImage> ReadProgramImage(const std::wstring& path) noexcept;

} // namespace app
