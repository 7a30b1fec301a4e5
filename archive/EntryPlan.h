#pragma once
// What writing one entry and putting it in place needs to know, worked out by the thread that
// reads the archive's directory so that another thread can write the entry.
#include <cstdint>
#include <string>

namespace archive {

class FreeSpace;

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
    EntryData data;
    // Where the space for the data was claimed: told as it is written.
    FreeSpace* claimedFrom = nullptr;
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t accessTime = 0;
    std::uint64_t writeTime = 0;
    // The folder the temporary file is written in, a full path ending with '\'.
    std::wstring temporaryFolder;
    // The folders to make and hold before the entry is put in place, relative to the root (for
    // a directory entry, the entry itself).
    std::wstring folders;
    // The file's name in the last of them.
    std::wstring name;
};

} // namespace archive
