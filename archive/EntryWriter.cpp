#include "archive/EntryWriter.h"

#include "archive/FreeSpace.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace archive {

namespace {

// Entry data is inflated and written in chunks of this size through one buffer; no entry is
// ever held whole in memory.
constexpr std::uint32_t kChunkSize = 16384;
constexpr std::uint16_t kMethodStored = 0;

} // namespace

// Takes the entry's data chunk by chunk: counts it against the declared size, so that the first
// byte beyond it fails the entry, sums its CRC-32 and writes it.
class EntryWriter::Sink {
public:
    Sink(const EntryPlan& plan, OutputFile& output, const std::atomic<bool>* stop) noexcept
        : m_plan(plan), m_output(output), m_stop(stop)
    {
    }

    [[nodiscard]] ExtractResult Take(const std::uint8_t* data, std::uint32_t size) noexcept
    {
        if (size > m_plan.data.uncompressedSize - m_written)
            return ExtractResult::InflateFailed;
        if (m_stop && m_stop->load(std::memory_order_relaxed))
            return ExtractResult::WriteFailed;
        m_crc = ::crc32(m_crc, data, size);
        if (!m_output.Write(data, size))
            return ExtractResult::WriteFailed;
        // On the disk now, where the free space shows it.
        m_written += size;
        if (m_plan.claimedFrom)
            m_plan.claimedFrom->Settle(size);
        return ExtractResult::Ok;
    }

    [[nodiscard]] std::uint64_t Written() const noexcept { return m_written; }

    // Whether the data was whole: its declared size, and the CRC-32 recorded for it.
    [[nodiscard]] bool Complete() const noexcept
    {
        return m_written == m_plan.data.uncompressedSize && m_crc == m_plan.data.crc;
    }

private:
    const EntryPlan& m_plan;
    OutputFile& m_output;
    const std::atomic<bool>* m_stop;
    std::uint64_t m_written = 0;
    uLong m_crc = 0;
};

EntryWriter::~EntryWriter()
{
    if (m_inflating)
        ::inflateEnd(&m_stream);
}

ExtractResult EntryWriter::WriteData(const EntryPlan& plan, OutputFile& output,
                                     const std::atomic<bool>* stop, std::uint64_t& written) noexcept
{
    if (!m_buffer) {
        m_buffer.reset(new (std::nothrow) std::uint8_t[kChunkSize]);
        if (!m_buffer)
            return ExtractResult::WriteFailed;
    }
    m_inputOffset = plan.data.offset;
    m_inputLeft = plan.data.compressedSize;
    m_decrypting = false;
    if (plan.data.encrypted) {
        // The keys start from the empty password and run through the encryption header.
        std::array<std::uint8_t, kEncryptionHeaderSize> header = {};
        if (!ReadInput(header))
            return ExtractResult::InflateFailed;
        m_keys = EmptyPasswordKeys();
        m_keys.Decrypt(header);
        m_decrypting = true;
    }
    if (!output.Create(plan.temporaryFolder))
        return ExtractResult::CannotOpen;
    Sink sink(plan, output, stop);
    ExtractResult result = plan.data.method == kMethodStored
                               ? CopyStored(sink, plan.data.uncompressedSize)
                               : Inflate(sink);
    if (m_decrypting)
        m_source.Forget(); // the cached blocks hold decrypted bytes now
    written = sink.Written();
    if (result == ExtractResult::Ok && !sink.Complete())
        result = ExtractResult::InflateFailed;
    if (result == ExtractResult::Ok &&
        !output.Finish(plan.attributes, plan.creationTime, plan.accessTime, plan.writeTime))
        result = ExtractResult::WriteFailed;
    if (result != ExtractResult::Ok)
        output.Discard();
    return result;
}

ExtractResult EntryWriter::Write(const EntryPlan& plan, OutputFile& output,
                                 const std::atomic<bool>* stop) noexcept
{
    std::uint64_t written = 0;
    const ExtractResult result = WriteData(plan, output, stop, written);
    // What a failed entry claimed and never wrote is free again for the entries after it.
    if (result != ExtractResult::Ok && plan.claimedFrom)
        plan.claimedFrom->Settle(plan.data.uncompressedSize - written);
    return result;
}

std::span<std::uint8_t> EntryWriter::NextInput(std::uint64_t most) noexcept
{
    const std::span<std::uint8_t> input = m_source.View(m_inputOffset, std::min(m_inputLeft, most));
    m_inputOffset += input.size();
    m_inputLeft -= input.size();
    if (m_decrypting)
        m_keys.Decrypt(input);
    return input;
}

bool EntryWriter::ReadInput(std::span<std::uint8_t> bytes) noexcept
{
    size_t copied = 0;
    while (copied < bytes.size()) {
        const std::span<std::uint8_t> input = NextInput(bytes.size() - copied);
        if (input.empty())
            return false;
        std::memcpy(bytes.data() + copied, input.data(), input.size());
        copied += input.size();
    }
    return true;
}

ExtractResult EntryWriter::CopyStored(Sink& sink, std::uint64_t declared) noexcept
{
    // Stored data is exactly as long as its declared size: more would be bytes beyond it.
    if (m_inputLeft != declared)
        return ExtractResult::InflateFailed;
    while (m_inputLeft > 0) {
        const std::span<std::uint8_t> input = NextInput(kChunkSize);
        if (input.empty())
            return ExtractResult::InflateFailed; // the archive ends early
        std::memcpy(m_buffer.get(), input.data(), input.size());
        const ExtractResult result =
            sink.Take(m_buffer.get(), static_cast<std::uint32_t>(input.size()));
        if (result != ExtractResult::Ok)
            return result;
    }
    return ExtractResult::Ok;
}

ExtractResult EntryWriter::Inflate(Sink& sink) noexcept
{
    if (!m_inflating) {
        // Raw deflate: zip entries carry no zlib header.
        if (::inflateInit2(&m_stream, -MAX_WBITS) != Z_OK)
            return ExtractResult::InflateFailed;
        m_inflating = true;
    } else if (::inflateReset(&m_stream) != Z_OK) {
        return ExtractResult::InflateFailed;
    }
    m_stream.avail_in = 0;
    for (;;) {
        if (m_stream.avail_in == 0 && m_inputLeft > 0) {
            const std::span<std::uint8_t> input = NextInput(UINT64_MAX);
            if (input.empty())
                return ExtractResult::InflateFailed; // the archive ends early
            m_stream.next_in = input.data();
            m_stream.avail_in = static_cast<uInt>(input.size());
        }
        m_stream.next_out = m_buffer.get();
        m_stream.avail_out = kChunkSize;
        const int status = ::inflate(&m_stream, Z_NO_FLUSH);
        const std::uint32_t produced = kChunkSize - m_stream.avail_out;
        if (produced > 0) {
            const ExtractResult result = sink.Take(m_buffer.get(), produced);
            if (result != ExtractResult::Ok)
                return result;
        }
        if (status == Z_STREAM_END)
            return ExtractResult::Ok;
        // Out of data without the stream's end mark: whole only if the declared size was
        // reached, which the caller checks, as the reader always did.
        if (status == Z_BUF_ERROR && m_stream.avail_in == 0 && m_inputLeft == 0)
            return ExtractResult::Ok;
        if (status != Z_OK && status != Z_BUF_ERROR)
            return ExtractResult::InflateFailed;
    }
}

} // namespace archive
