#pragma once
// Writes the data of planned file entries into temporary files: reads it from its own reader of
// the archive, decrypts it when the empty password opens it, inflates it through the one chunk
// buffer and checks it against its declared size and CRC-32. One per extracting thread.
#include "archive/ArchiveFile.h"
#include "archive/EmptyPassword.h"
#include "archive/EntryPlan.h"
#include "archive/ExtractResult.h"
#include "archive/OutputFile.h"

#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace archive {

class EntryWriter {
public:
    // source: the archive, read by this writer alone while it writes.
    explicit EntryWriter(ArchiveFile& source) noexcept : m_source(source) {}
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;
    ~EntryWriter();

    // Creates output as a temporary file and writes the entry into it, complete with its times
    // and attributes, ready to be moved into place. Gives up (WriteFailed) as soon as
    // stop is set. On failure nothing of the entry is left on disk.
    [[nodiscard]] ExtractResult Write(const EntryPlan& plan, OutputFile& output,
                                      const std::atomic<bool>* stop = nullptr) noexcept;

private:
    class Sink;
    [[nodiscard]] ExtractResult WriteData(const EntryPlan& plan, OutputFile& output,
                                          const std::atomic<bool>* stop,
                                          std::uint64_t& written) noexcept;
    [[nodiscard]] ExtractResult CopyStored(Sink& sink, std::uint64_t declared) noexcept;
    [[nodiscard]] ExtractResult Inflate(Sink& sink) noexcept;
    // The next of the entry's bytes in the archive, at most most of them, decrypted.
    [[nodiscard]] std::span<std::uint8_t> NextInput(std::uint64_t most) noexcept;
    [[nodiscard]] bool ReadInput(std::span<std::uint8_t> bytes) noexcept;

    ArchiveFile& m_source;
    std::unique_ptr<std::uint8_t[]> m_buffer; // the chunk buffer, from the first entry on
    z_stream m_stream = {};
    bool m_inflating = false; // m_stream is initialised
    // The entry being written: where the rest of its data lies in the archive.
    std::uint64_t m_inputOffset = 0;
    std::uint64_t m_inputLeft = 0;
    bool m_decrypting = false;
    EmptyPasswordKeys m_keys;
};

} // namespace archive
