#pragma once
// The record of a download's version, kept so that a resume, in this run of the tool or a later
// one, names the version its bytes belong to. The records live in a folder of the tool's own
// beside Downloads, never in it, so that a page listing its files never meets one. A download's
// record is named after the download's name (a hash; the name itself is kept inside and checked)
// and other files that belong to the same download, its companions, live beside it under the
// same stem and go with it. Records last written more than 30 days ago are swept when the tool
// starts. A record is used by one transfer at a time: the task map lets one task hold a file.
#include "base/Win.h"
#include "download/ResumeValidator.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace download {

// What a record saw of its file.
struct FileState {
    uint64_t size = 0;
    uint64_t writeTime = 0; // the last write, as a FILETIME
    bool operator==(const FileState&) const = default;
};
// The state of an open file, read through its handle: while the file is open for writing the
// directory's copy may lag behind. Nothing when it cannot be read.
[[nodiscard]] std::optional<FileState> StateOf(HANDLE file) noexcept;

// The records' folder in the application directory (which ends with '\'), ending with '\'.
[[nodiscard]] std::wstring RecordFolderIn(std::wstring_view appDirectory);

class DownloadRecord {
public:
    // No record: reading finds nothing, writing and dropping do nothing.
    DownloadRecord() noexcept = default;
    // folder: the records' folder, ending with '\'; name: the download's name below Downloads
    // as the page gave it, either separator between its parts, case ignored as Windows does.
    // Throws only std::bad_alloc.
    DownloadRecord(std::wstring_view folder, std::wstring_view name);

    // The version recorded, when the record is there, readable, this download's and saw the
    // file in the state it is in now (nothing: the file is gone). A record that saw the file
    // otherwise is dropped, companions and all; one that cannot be read is only passed over.
    [[nodiscard]] FileVersion Read(const std::optional<FileState>& file) noexcept;
    // Records the version with the file's state, replacing the record whole. False when it
    // could not: a resume then names no version, as it would without a record.
    [[nodiscard]] bool Write(const FileVersion& version, const FileState& file) noexcept;
    // Removes the record and its companions.
    void Drop() noexcept;
    // False for no record.
    [[nodiscard]] bool IsSet() const noexcept { return !m_path.empty(); }

    // A companion of this download, by its suffix ("part1"): the record's folder, the stem, a
    // dot and the suffix. The record itself is the companion "version".
    [[nodiscard]] std::wstring CompanionPath(std::wstring_view suffix) const;

private:
    std::wstring m_folder;
    std::wstring m_stem;
    std::wstring m_key;  // the name as records keep it: '\' between parts, upper case
    std::wstring m_path; // the record itself
};

// Removes every file in the records' folder last written more than 30 days ago: the records of
// downloads given up on, their companions, and whatever an interrupted write left.
void SweepRecords(const std::wstring& folder) noexcept;

} // namespace download
