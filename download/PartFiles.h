#pragma once
// The part files of a download fetched over several connections: one for each segment that did
// not begin where the file ended, kept beside the download's record as its companion
// "part<first byte>", so that they go with the record and with the start-up sweep, never into
// Downloads. A part holds its segment's bytes from the segment's start on, as many as its length;
// the file never holds a byte beyond its whole prefix, so a part is appended only once the file
// reaches it. A part is written by one connection at a time and appended by the one thread that
// moves the file's end.
#include "base/Unique.h"
#include "download/DownloadRecord.h"
#include "download/SegmentMap.h"

#include <cstdint>
#include <vector>

namespace download {

// The download's parts as they lie, ascending by start. Throws only std::bad_alloc.
[[nodiscard]] std::vector<HeldPart> ListParts(const DownloadRecord& record);

// Keeps the parts that a transfer can go on from: non-empty, beyond the file's length, each
// ending by the next one's start and by the total, fewer than a segment map holds. The others
// are deleted.
void KeepFittingParts(std::vector<HeldPart>& parts, const DownloadRecord& record,
                      uint64_t fileLength, uint64_t total) noexcept;

// Deletes every part of the download; the record stays.
void DropParts(const DownloadRecord& record) noexcept;

// The part of the segment that begins at start, opened to write from its byte `held` on: made
// when missing, cut to held bytes. Empty when it cannot be opened or holds fewer bytes.
[[nodiscard]] UniqueFile OpenPart(const DownloadRecord& record, uint64_t start,
                                  uint64_t held) noexcept;

// Appends the first `length` bytes of the part beginning at start to the file (at its end, where
// its position is), then deletes the part. False when they could not all be read or written.
[[nodiscard]] bool AppendPart(HANDLE file, const DownloadRecord& record, uint64_t start,
                              uint64_t length) noexcept;

} // namespace download
