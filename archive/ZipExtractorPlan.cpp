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

} // namespace

ExtractResult ZipExtractor::ExtractEntry(std::int32_t index, std::wstring_view destination) noexcept
{
    if (index < 0 || index >= m_entryCount)
        return ExtractResult::BadArgument;
    EntryPlan plan;
    ExtractResult result = PlanEntry(index, destination, plan);
    if (result != ExtractResult::Ok)
        return result;
    OutputFile file;
    if (!plan.directory) {
        if (!m_writer) {
            m_writer.reset(new (std::nothrow) EntryWriter(*m_archive));
            if (!m_writer)
                return ExtractResult::WriteFailed;
        }
        result = m_writer->Write(plan, file);
        if (result != ExtractResult::Ok)
            return result;
    }
    return PlaceEntry(plan, file);
}

ExtractResult ZipExtractor::PlanEntry(std::int32_t index, std::wstring_view destination,
                                      EntryPlan& plan) noexcept
{
    if (index < 0 || index >= m_entryCount || !m_folders || !m_freeSpace)
        return ExtractResult::BadArgument;
    try {
        // Everything the plan needs comes with the entry's record (its facts are kept beside
        // it), so the reader is not moved again for an entry already read.
        ZipEntryInfo entry;
        const ExtractResult result = GetEntry(index, entry);
        if (result != ExtractResult::Ok)
            return result;
        plan = EntryPlan{};
        plan.index = index;
        plan.directory = (entry.attributes & kAttributeDirectory) != 0;
        // A separator or a drive at the start, like every other name that would not stay
        // below the root as written, is refused here.
        if (!names::IsSafeRelativeName(destination) || !IsInsideRoot(destination))
            return ExtractResult::UnsafeName;
        if (plan.directory) {
            plan.folders.assign(destination);
            return ExtractResult::Ok;
        }
        plan.attributes = entry.attributes;
        plan.creationTime = entry.creationTime;
        plan.accessTime = entry.accessTime;
        plan.writeTime = entry.writeTime;
        return PlanFile(destination, plan);
    } catch (...) {
        return ExtractResult::WriteFailed; // no memory for a path
    }
}

bool ZipExtractor::IsInsideRoot(std::wstring_view destination) const
{
    const std::wstring path = m_root + std::wstring(destination);
    if (path.size() >= paths::kMaxPath)
        return false;
    // Resolved the way the file system would resolve it, so that no spelling of a parent step
    // the name checks did not foresee can lead out of the root.
    const std::wstring full = paths::FullPath(path);
    return !full.empty() && paths::IsInsideFolder(full, m_fullRoot);
}

ExtractResult ZipExtractor::PlanFile(std::wstring_view destination, EntryPlan& plan)
{
    size_t split = destination.size();
    while (split > 0 && !paths::IsSeparator(destination[split - 1], kNameSeparators))
        --split;
    if (split == destination.size())
        return ExtractResult::CannotOpen; // no file name after the last separator
    // Temporary files go in the root, so that the entry's own folders are made only when it
    // is put in place, in archive order, and never for an entry that fails. Without room for
    // a temporary name the entry is refused before anything is touched: an earlier copy of it
    // stays as it was.
    HANDLE root = nullptr;
    const ExtractResult made = m_folders->Make({}, root);
    if (made != ExtractResult::Ok)
        return made;
    if (!HasRoomForTemporaryName(m_fullRoot))
        return ExtractResult::UnsafeName;
    plan.temporaryFolder = m_fullRoot;
    plan.folders.assign(destination.substr(0, split));
    plan.name.assign(destination.substr(split));

    if (m_cachedFacts.data.encrypted && !m_cachedFacts.emptyPasswordOpens)
        return ExtractResult::BadPassword;
    if (!m_freeSpace->Claim(m_cachedFacts.data.uncompressedSize))
        return ExtractResult::NoSpace;
    plan.claimedFrom = &*m_freeSpace;
    plan.data = m_cachedFacts.data;
    return ExtractResult::Ok;
}

ExtractResult ZipExtractor::PlaceEntry(const EntryPlan& plan, OutputFile& file) noexcept
{
    HANDLE folder = nullptr;
    const ExtractResult result = m_folders->Make(plan.folders, folder);
    if (result != ExtractResult::Ok || plan.directory)
        return result;
    // The folders are held, so nothing that honours sharing can have moved them, and the file
    // is named from the held folder. A file system that resolves that name by the folder's
    // path after all (Wine's server does) would follow a link that a program ignoring sharing
    // put in a folder's place: each folder is looked at by its name once more.
    if (!m_folders->StillInPlace(plan.folders))
        return ExtractResult::UnsafeName;
    return file.MoveInto(folder, plan.name) ? ExtractResult::Ok : ExtractResult::CannotOpen;
}

std::unique_ptr<ArchiveFile> ZipExtractor::OpenArchiveAgain() const noexcept
{
    return ArchiveFile::Open(m_path);
}

} // namespace archive
