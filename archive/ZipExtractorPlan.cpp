// ZipExtractor's extraction of one entry: the plan, the writing and the placing.
#include "archive/ZipExtractor.h"

#include "archive/EntryName.h"
#include "base/Paths.h"
#include "base/RelativeName.h"

namespace archive {

namespace {

// A folder holds the temporary files of its entries only with room for their names.
bool HasRoomForTemporaryName(const std::wstring& fullFolder) noexcept
{
    return !fullFolder.empty() && fullFolder.size() + kTemporaryNameLength < paths::kMaxPath;
}

// A full path's folders, as far as they can be made; whether the file can be written there is
// what counts.
void MakeAbsoluteFolders(std::wstring_view folder) noexcept
{
    (void)paths::MakeChain({}, folder, kNameSeparators);
}

} // namespace

ExtractResult ZipExtractor::ExtractEntry(std::int32_t index, std::wstring_view destination) noexcept
{
    if (index < 0 || index >= m_entryCount)
        return ExtractResult::ExtractBadArgument;
    EntryPlan plan;
    ExtractResult result = PlanEntry(index, destination, plan);
    if (result != ExtractResult::ExtractOk)
        return result;
    OutputFile file;
    if (!plan.directory) {
        if (!m_writer) {
            m_writer.reset(new (std::nothrow) EntryWriter(*m_archive));
            if (!m_writer)
                return ExtractResult::ExtractWriteFailed;
        }
        result = m_writer->Write(plan, file);
        if (result != ExtractResult::ExtractOk)
            return result;
    }
    return PlaceEntry(plan, file);
}

ExtractResult ZipExtractor::PlanEntry(std::int32_t index, std::wstring_view destination,
                                      EntryPlan& plan) noexcept
{
    if (index < 0 || index >= m_entryCount || !m_folders || !m_freeSpace)
        return ExtractResult::ExtractBadArgument;
    try {
        // Everything the plan needs comes with the entry's record (its facts are kept beside
        // it), so the reader is not moved again for an entry already read.
        ZipEntryInfo entry;
        const ExtractResult result = GetEntry(index, entry);
        if (result != ExtractResult::ExtractOk)
            return result;
        plan = EntryPlan{};
        plan.index = index;
        plan.directory = (entry.attributes & kAttributeDirectory) != 0;
        plan.absolute = IsAbsoluteName(destination);
        if (plan.directory)
            return PlanDirectory(destination, plan);
        plan.attributes = entry.attributes;
        plan.creationTime = entry.creationTime;
        plan.accessTime = entry.accessTime;
        plan.writeTime = entry.writeTime;
        return PlanFile(destination, plan);
    } catch (...) {
        return ExtractResult::ExtractWriteFailed; // no memory for a path
    }
}

std::wstring ZipExtractor::FullPathInsideRoot(const std::wstring& path) const
{
    // Resolved the way the file system will resolve it, so that no spelling of a parent step
    // the name checks did not foresee can lead out of the root.
    std::wstring full = paths::FullPath(path);
    return paths::IsInsideFolder(full, m_fullRoot) ? full : std::wstring();
}

ExtractResult ZipExtractor::PlanDirectory(std::wstring_view destination, EntryPlan& plan)
{
    plan.folders.assign(destination);
    if (plan.absolute)
        return ExtractResult::ExtractOk;
    const std::wstring path = m_root + std::wstring(destination);
    if (!names::IsSafeRelativeName(destination) || path.size() >= paths::kMaxPath)
        return ExtractResult::ExtractUnsafeName;
    plan.fullPath = FullPathInsideRoot(path);
    return plan.fullPath.empty() ? ExtractResult::ExtractUnsafeName : ExtractResult::ExtractOk;
}

ExtractResult ZipExtractor::PlanFile(std::wstring_view destination, EntryPlan& plan)
{
    size_t split = destination.size();
    while (split > 0 && !paths::IsSeparator(destination[split - 1], kNameSeparators))
        --split;
    const std::wstring_view folderPart = destination.substr(0, split);
    if (split == destination.size())
        return ExtractResult::ExtractCannotOpen; // no file name after the last separator

    const std::wstring path =
        plan.absolute ? std::wstring(destination) : m_root + std::wstring(destination);
    if (path.size() >= paths::kMaxPath)
        return ExtractResult::ExtractUnsafeName;
    if (plan.absolute) {
        plan.fullPath = paths::FullPath(path);
        plan.temporaryFolder = paths::FullFolderPath(std::wstring(folderPart));
    } else {
        if (!names::IsSafeRelativeName(destination))
            return ExtractResult::ExtractUnsafeName;
        plan.fullPath = FullPathInsideRoot(path);
        // Temporary files go in the root, so that the entry's own folders are made only when
        // it is put in place, in archive order, and never for an entry that fails.
        plan.temporaryFolder = m_fullRoot;
        const ExtractResult root = m_folders->Make({});
        if (root != ExtractResult::ExtractOk)
            return root;
    }
    // Without room for a temporary name the entry is refused before anything is touched: an
    // earlier copy of it stays as it was.
    if (plan.fullPath.empty() || !HasRoomForTemporaryName(plan.temporaryFolder))
        return ExtractResult::ExtractUnsafeName;
    plan.folders.assign(folderPart);
    if (plan.absolute)
        MakeAbsoluteFolders(folderPart);

    if (m_cachedFacts.data.encrypted && !m_cachedFacts.emptyPasswordOpens)
        return ExtractResult::ExtractBadPassword;
    // Only the root's volume is known to hold the file; a full path may name any volume.
    if (!plan.absolute && !m_freeSpace->Claim(m_cachedFacts.data.uncompressedSize))
        return ExtractResult::ExtractNoSpace;
    plan.data = m_cachedFacts.data;
    return ExtractResult::ExtractOk;
}

ExtractResult ZipExtractor::PlaceEntry(const EntryPlan& plan, OutputFile& file) noexcept
{
    if (plan.absolute && plan.directory) {
        MakeAbsoluteFolders(plan.folders);
        return ExtractResult::ExtractOk;
    }
    if (!plan.absolute) {
        const ExtractResult result = m_folders->Make(plan.folders);
        if (result != ExtractResult::ExtractOk)
            return result;
    }
    if (plan.directory)
        return ExtractResult::ExtractOk;
    return file.MoveTo(plan.fullPath) ? ExtractResult::ExtractOk : ExtractResult::ExtractCannotOpen;
}

std::unique_ptr<ArchiveFile> ZipExtractor::OpenArchiveAgain() const noexcept
{
    return ArchiveFile::Open(m_path);
}

} // namespace archive
