#pragma once
// What writing one entry and putting it in place needs to know, worked out by the thread that
// reads the archive's directory so that another thread can write the entry.
#include <cstdint>
#include <string>

namespace archive {

// Where an entry's data lies in the archive file and what it must come to.
struct EntryData {
    std::uint64_t offset = 0; // where it starts, at the encryption header if there is one
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0; // the reader's 64-bit size, zip64 included
    std::uint32_t crc = 0;
    std::uint16_t method = 0;
    bool encrypted = false;
};

struct EntryPlan {
    std::int32_t index = -1;
    bool directory = false;
    // A destination given as a full path rather than below the root.
    bool absolute = false;
    EntryData data;
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t accessTime = 0;
    std::uint64_t writeTime = 0;
    // The folder the temporary file is written in, a full path ending with '\'.
    std::wstring temporaryFolder;
    // The folders to make before the entry is put in place: relative to the root, or the
    // folder of an absolute destination.
    std::wstring folders;
    // The entry's final place as a full path (the folder itself for a directory entry).
    std::wstring fullPath;
};

} // namespace archive
