#include "archive/UnzipToFolder.h"

#include "archive/ZipExtractor.h"
#include "base/Win.h"
#include "settings/Paths.h"

#include <string>

namespace archive {

namespace {

bool ArchiveFound(std::wstring_view zipPath)
{
    if (zipPath.size() >= settings::kMaxPath)
        return false;
    const std::wstring path(zipPath);
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The target folder and every folder above it. The path routines split at '\' only, so a
// folder written with '/' is spelled with '\' for them; it names the same folder.
bool PrepareTargetFolder(std::wstring_view targetFolder)
{
    if (settings::IsExistingDirectory(targetFolder))
        return true;
    std::wstring folder(targetFolder);
    for (wchar_t& c : folder) {
        if (c == L'/')
            c = L'\\';
    }
    return settings::CreateDirectoryPath(folder);
}

int ExtractAll(ZipExtractor& extractor, std::wstring_view targetFolder)
{
    if (extractor.SetBaseDirectory(targetFolder) != ExtractResult::ExtractOk)
        return 0;
    ZipEntryInfo entry;
    if (extractor.GetEntry(-1, entry) != ExtractResult::ExtractOk)
        return 0;
    const std::int32_t count = entry.index;
    for (std::int32_t i = 0; i < count; ++i) {
        if (extractor.GetEntry(i, entry) != ExtractResult::ExtractOk ||
            extractor.ExtractEntry(i, entry.name) != ExtractResult::ExtractOk)
            return 0;
    }
    return 1;
}

} // namespace

int UnzipToFolder(std::wstring_view zipPath, std::wstring_view targetFolder) noexcept
{
    try {
        if (targetFolder.empty() || zipPath.empty() || !ArchiveFound(zipPath))
            return 0;
        // The whole target folder is made here, so that it exists afterwards even for an
        // archive without entries, and a folder name without any '\' works too.
        if (!PrepareTargetFolder(targetFolder))
            return 0;
        ExtractResult opened = ExtractResult::ExtractCannotOpen;
        const std::unique_ptr<ZipExtractor> extractor = ZipExtractor::Open(zipPath, opened);
        if (!extractor)
            return 0;
        const int result = ExtractAll(*extractor, targetFolder);
        (void)extractor->Close();
        return result;
    } catch (...) {
        return 0;
    }
}

} // namespace archive
