#pragma once
// Places: where the tool keeps its own files and values. The application folder, with config.ini
// and the Downloads folder in it, and the registry root under which the tool's Run value lies.
// The program makes one at start from its executable's folder and hands it to every reader and
// writer of those; tests hand in a folder and a registry key of their own.
#include "base/Win.h"

#include <string>
#include <string_view>

namespace paths {

class Places {
public:
    // Knows no folder: every path is empty, so nothing is read or written.
    Places() noexcept = default;
    // The folder ends with '\'. The root is borrowed: a predefined key, or one that stays open
    // for as long as the places are used.
    Places(std::wstring appDirectory, HKEY registryRoot) noexcept;
    // The running program's folder (empty when it cannot be told) and the current user's keys.
    [[nodiscard]] static Places ForProgram() noexcept;

    [[nodiscard]] const std::wstring& AppDirectory() const noexcept { return m_strAppDirectory; }
    // The folder immediately followed by the name; empty when the folder is unknown, for a bare
    // name would name a file wherever the call looks (the Windows folder, the current one).
    [[nodiscard]] std::wstring InAppDirectory(std::wstring_view name) const noexcept;
    // "config.ini" in the folder, or empty.
    [[nodiscard]] std::wstring ConfigFile() const noexcept;
    // "Downloads" in the folder, without a trailing '\', or empty.
    [[nodiscard]] std::wstring DownloadsFolder() const noexcept;
    [[nodiscard]] HKEY RegistryRoot() const noexcept { return m_hRegistryRoot; }

private:
    std::wstring m_strAppDirectory;
    HKEY m_hRegistryRoot = nullptr;
};

} // namespace paths
