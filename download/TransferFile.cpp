#include "download/TransferFile.h"

#include "download/PartFiles.h"

namespace download {
namespace {

// The body replaces the file: back to its start, and nothing of the old bytes left behind, nor
// the record of the old version or anything kept beside it.
bool RestartFile(DOWNLOADINFO& transfer) noexcept
{
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(transfer.file.Get(), start, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(transfer.file.Get()))
        return false;
    transfer.record.Drop();
    return true;
}

// Made, or opened to append, only now: a transfer that fails before its first byte leaves the
// folder as it was. A body that continues the file continues the length the request asked for:
// a file changed meanwhile (or gone) is not written.
bool OpenFile(DOWNLOADINFO& transfer) noexcept
{
    const bool continues = !transfer.restartFile && transfer.ullOffset > 0;
    transfer.file.Reset(::CreateFileW(transfer.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, continues ? OPEN_EXISTING : OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!transfer.file)
        return false;
    if (transfer.restartFile)
        return RestartFile(transfer);
    LARGE_INTEGER length{};
    LARGE_INTEGER end{};
    return ::GetFileSizeEx(transfer.file.Get(), &length) &&
           static_cast<uint64_t>(length.QuadPart) == transfer.ullOffset &&
           ::SetFilePointerEx(transfer.file.Get(), end, nullptr, FILE_END);
}

} // namespace

bool ProbeDestination(const std::wstring& path, std::optional<FileState>& state) noexcept
{
    // Opened for writing and closed again, which changes nothing, to learn what opening it for
    // the first byte would meet.
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        state.reset();
        return ::GetLastError() == ERROR_FILE_NOT_FOUND; // else no folder, or no way in
    }
    // A device that answers no file information (Wine's Z:\dev\full) counts as empty.
    state = StateOf(file.Get()).value_or(FileState{});
    return true;
}

bool OpenTransferFile(DOWNLOADINFO& transfer) noexcept
{
    return transfer.file || OpenFile(transfer);
}

bool StartFileOver(DOWNLOADINFO& transfer) noexcept
{
    transfer.restartFile = true;
    return transfer.file ? RestartFile(transfer) : OpenFile(transfer);
}

bool RecordVersion(DOWNLOADINFO& transfer) noexcept
{
    if (!transfer.version.Known())
        return false;
    const auto state = StateOf(transfer.file.Get());
    return state && transfer.record.Write(transfer.version, *state);
}

bool WritePiece(DOWNLOADINFO& transfer, const BYTE* data, DWORD length) noexcept
{
    const bool first = !transfer.file;
    if (first && !OpenFile(transfer))
        return false;
    DWORD written = 0;
    if (!::WriteFile(transfer.file.Get(), data, length, &written, nullptr) || written != length)
        return false;
    if (first)
        (void)RecordVersion(transfer); // without a record the next resume names no version
    return true;
}

bool WriteEmptyBody(DOWNLOADINFO& transfer) noexcept { return OpenTransferFile(transfer); }

void CloseTransferFile(DOWNLOADINFO& transfer, int32_t event) noexcept
{
    // The record saw the file as it was after the first piece; it must see it as it is left.
    // Read through the handle before it closes, which changes neither the size nor the time.
    const bool opened = static_cast<bool>(transfer.file);
    const bool recorded = opened && RecordVersion(transfer);
    transfer.file.Reset();
    if (event != kEventFinished)
        return;
    // A finished download keeps its record, naming the finished file's version: the file asked
    // for again is then continued only by that version, and a server whose file has changed
    // since sends the new one whole rather than a tail to append to the old. Every part is in
    // the file by now.
    if (opened && !recorded)
        transfer.record.Drop();
    DropParts(transfer.record);
}

} // namespace download
