#pragma once
// The file side of a transfer: what the destination holds when the transfer starts, the file
// opened only for the first byte of an accepted body, the pieces written, and the record of the
// file's version kept in step with the file. Runs on the thread of the transfer's step; once a
// transfer has segments, the one connection whose turn it is (download/Segments.h).
#include "download/HttpTransfer.h"

#include <optional>
#include <string>

namespace download {

// The destination's state when it is a file that may be written (nothing when there is no file
// yet but its folder is there), looked at without changing it. False when the file could be
// neither written nor made: its folder missing, a folder in its place, a writer holding it.
[[nodiscard]] bool ProbeDestination(const std::wstring& path,
                                    std::optional<FileState>& state) noexcept;

// Opens the file for the answer's body unless it is open: made when missing, emptied when the
// body replaces it (the record of the old version and its companions go), else positioned at its
// end, which must be the length the transfer continues (a file changed meanwhile is not written).
[[nodiscard]] bool OpenTransferFile(DOWNLOADINFO& transfer) noexcept;

// The body replaces the file from here on: it is opened if need be and emptied, and the record of
// the old version and its companions go.
[[nodiscard]] bool StartFileOver(DOWNLOADINFO& transfer) noexcept;

// Records the transfer's version with the open file's state; false when there is no version to
// record or the record could not be written.
[[nodiscard]] bool RecordVersion(DOWNLOADINFO& transfer) noexcept;

// Appends a piece to the file, opening the file first if this is the answer's first byte, and
// records the version with the first piece. False when the file cannot be opened, changed since
// the transfer started, or refuses the write (a full disk).
[[nodiscard]] bool WritePiece(DOWNLOADINFO& transfer, const BYTE* data, DWORD length) noexcept;

// An answer whose body is whole but empty: the file is made, or emptied, now.
[[nodiscard]] bool WriteEmptyBody(DOWNLOADINFO& transfer) noexcept;

// Closes the file, leaving the record as the file is: refreshed after a transfer that wrote,
// and kept for a finished download (its parts gone), so that asking for it again names its
// version; removed when the file's version is not known.
void CloseTransferFile(DOWNLOADINFO& transfer, int32_t event) noexcept;

} // namespace download
