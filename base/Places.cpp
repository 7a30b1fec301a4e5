#include "base/Places.h"

#include "base/Paths.h"

#include <utility>

namespace paths {

namespace {

constexpr wchar_t kConfigFileName[] = L"config.ini";
constexpr wchar_t kDownloadsFolderName[] = L"Downloads";

} // namespace

Places::Places(std::wstring appDirectory, HKEY registryRoot) noexcept
    : m_strAppDirectory(std::move(appDirectory)), m_hRegistryRoot(registryRoot)
{
}

Places Places::ForProgram() noexcept { return Places(GetAppDirectory(), HKEY_CURRENT_USER); }

std::wstring Places::InAppDirectory(std::wstring_view name) const noexcept
{
    return m_strAppDirectory.empty() ? std::wstring() : ConcatPath(m_strAppDirectory, name);
}

std::wstring Places::ConfigFile() const noexcept { return InAppDirectory(kConfigFileName); }

std::wstring Places::DownloadsFolder() const noexcept
{
    return InAppDirectory(kDownloadsFolderName);
}

} // namespace paths
