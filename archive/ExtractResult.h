#pragma once
// What one step of a zip extraction ends with. The page only ever learns 1 or 0 from it: the
// bridge folds it.

namespace archive {

enum class ExtractResult {
    Ok,
    // The archive is missing or no zip archive, or an entry's output file or folder cannot be
    // created (a file stands where its folder would go).
    CannotOpen,
    // Writing entry data to its output file failed.
    WriteFailed,
    // The local header disagrees with the central directory, the entry is neither stored nor
    // deflated, or the central directory cannot be read any further.
    BadHeader,
    // Seeking to or reading the entry's local extra field failed.
    ReadFailed,
    // The entry is encrypted and the tool has no password that opens it.
    BadPassword,
    // Entry index out of range, or a folder the tool's paths cannot hold.
    BadArgument,
    // The entry's name cannot be written safely inside the target folder: it climbs out with
    // "..", is absolute, passes through a link or junction there (or one put in place of a
    // folder during the extraction), is too long (or the folder leaves no room for a temporary
    // name), or names something Windows would not create as a plain file.
    UnsafeName,
    // The entry declares more data than the target volume has room for, beside what the
    // entries before it have still to write.
    NoSpace,
    // The data is damaged, ends before its declared size, runs past it, or fails its CRC-32.
    InflateFailed,
};

} // namespace archive
