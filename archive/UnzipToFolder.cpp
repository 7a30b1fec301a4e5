#include "archive/UnzipToFolder.h"

#include "archive/ZipExtractor.h"
#include "base/Paths.h"
#include "base/Win.h"

#include <string>

namespace archive {

namespace {

// The target folder and every folder above it.
bool PrepareTargetFolder(std::wstring_view targetFolder)
{
    return paths::IsExistingDirectory(targetFolder) ||
           paths::MakeChain({}, targetFolder, paths::Separators::BackslashOrSlash);
}

} // namespace

ExtractionOutcome UnzipToFolder(std::wstring_view zipPath, std::wstring_view targetFolder,
                                unsigned workers, const ExtractionWatch& watch) noexcept
{
    const ExtractionOutcome badArgument = {ExtractResult::BadArgument, -1};
    try {
        if (targetFolder.empty() || targetFolder.size() >= paths::kMaxPath || zipPath.empty() ||
            zipPath.size() >= paths::kMaxPath)
            return badArgument;
        // The archive first: a missing one leaves the target folder as it was.
        ExtractResult opened = ExtractResult::CannotOpen;
        const std::unique_ptr<ZipExtractor> extractor = ZipExtractor::Open(zipPath, opened);
        if (!extractor)
            return {opened, -1};
        // The whole target folder is made here, so that it exists afterwards even for an
        // archive without entries, and a folder name without any '\' works too.
        if (!PrepareTargetFolder(targetFolder) ||
            extractor->SetBaseDirectory(targetFolder, watch) != ExtractResult::Ok)
            return badArgument;
        return ExtractEveryEntry(*extractor, workers);
    } catch (...) {
        return badArgument;
    }
}

} // namespace archive
