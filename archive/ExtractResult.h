#pragma once
// What one step of a zip extraction ends with. The numbers are the extractor's own result codes;
// the page only ever learns 1 or 0 from them.
#include <cstdint>

namespace archive {

enum class ExtractResult : std::uint32_t {
    ExtractOk = 0,
    // The archive is missing or no zip archive, or an entry's output file or folder cannot be
    // created (a file stands where its folder would go).
    ExtractCannotOpen = 0x200,
    // Writing entry data to its output file failed.
    ExtractWriteFailed = 0x400,
    // The local header disagrees with the central directory, the entry is neither stored nor
    // deflated, or the central directory cannot be read any further.
    ExtractBadHeader = 0x700,
    // Seeking to or reading the entry's local extra field failed.
    ExtractReadFailed = 0x800,
    // The entry is encrypted and the tool has no password that opens it.
    ExtractBadPassword = 0x1000,
    // Entry index out of range, or a folder the tool's paths cannot hold.
    ExtractBadArgument = 0x10000,
    // The entry's name cannot be written safely inside the target folder: it climbs out with
    // "..", passes through a link or junction there, is too long (or the folder leaves no room
    // for a temporary name), or names something Windows would not create as a plain file.
    ExtractUnsafeName = 0x20000,
    // The entry declares more data than the target volume has room for.
    ExtractNoSpace = 0x40000,
    // The data is damaged, ends before its declared size, runs past it, or fails its CRC-32.
    ExtractInflateFailed = 0x5000000,
};

} // namespace archive
