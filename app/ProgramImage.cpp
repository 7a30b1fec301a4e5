#include "app/ProgramImage.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

namespace app {
namespace {

// Real programs keep their headers and section table within the first few KiB; one read of
// this much covers any sane layout, and a file that needs more is not taken for a program.
constexpr DWORD kHeaderReadSize = 64 * 1024;

bool ReadAt(std::string_view bytes, size_t offset, void* out, size_t count) noexcept
{
    if (offset > bytes.size() || count > bytes.size() - offset)
        return false;
    std::memcpy(out, bytes.data() + offset, count);
    return true;
}

struct OptionalFacts {
    unsigned long long sizeOfHeaders = 0;
    DWORD entryPoint = 0;
    WORD subsystem = 0;
    bool carriesSignature = false;
};

// The optional header's fixed part, then the certificate table's entry when the header is long
// enough to have one. PE32 and PE32+ differ in the fields' widths, hence the template.
template <class OptionalHeader>
bool ReadOptionalHeader(std::string_view bytes, size_t offset, size_t size, OptionalFacts& facts)
{
    OptionalHeader header{};
    constexpr size_t kFixedSize = offsetof(OptionalHeader, DataDirectory);
    if (size < kFixedSize || !ReadAt(bytes, offset, &header, kFixedSize))
        return false;
    facts.sizeOfHeaders = header.SizeOfHeaders;
    facts.entryPoint = header.AddressOfEntryPoint;
    facts.subsystem = header.Subsystem;
    constexpr size_t kWithSecurity =
        kFixedSize + (IMAGE_DIRECTORY_ENTRY_SECURITY + 1) * sizeof(IMAGE_DATA_DIRECTORY);
    if (header.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_SECURITY && size >= kWithSecurity &&
        ReadAt(bytes, offset, &header, kWithSecurity))
        facts.carriesSignature = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size != 0;
    return true;
}

struct SectionFacts {
    unsigned long long end = 0; // where the last section's bytes end in the file
    bool holdsEntryPoint = false;
};

// Nothing when the table does not fit the headers.
std::optional<SectionFacts> ReadSections(std::string_view bytes, size_t table, WORD count,
                                         DWORD entryPoint)
{
    SectionFacts facts;
    for (WORD i = 0; i < count; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!ReadAt(bytes, table + i * sizeof(section), &section, sizeof(section)))
            return std::nullopt;
        // Sections without raw data (.bss) take no room in the file.
        if (section.SizeOfRawData != 0)
            facts.end =
                std::max(facts.end, static_cast<unsigned long long>(section.PointerToRawData) +
                                        section.SizeOfRawData);
        const DWORD size = std::max<DWORD>(section.Misc.VirtualSize, section.SizeOfRawData);
        if (entryPoint >= section.VirtualAddress && entryPoint - section.VirtualAddress < size)
            facts.holdsEntryPoint = true;
    }
    return facts;
}

std::optional<ProgramImage> ParseProgramImage(std::string_view bytes, unsigned long long fileSize)
{
    IMAGE_DOS_HEADER dos{};
    if (!ReadAt(bytes, 0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        dos.e_lfanew < static_cast<LONG>(sizeof(dos)))
        return std::nullopt;
    const size_t pe = static_cast<size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file{};
    if (!ReadAt(bytes, pe, &signature, sizeof(signature)) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(bytes, pe + sizeof(signature), &file, sizeof(file)))
        return std::nullopt;
    if (!(file.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) ||
        (file.Characteristics & IMAGE_FILE_DLL) || file.NumberOfSections == 0)
        return std::nullopt;

    const size_t optional = pe + sizeof(signature) + sizeof(file);
    WORD magic = 0;
    if (!ReadAt(bytes, optional, &magic, sizeof(magic)))
        return std::nullopt;
    OptionalFacts facts;
    // Each machine with its own header format: an x86 header on an x64 image is no program.
    bool read = false;
    if (file.Machine == IMAGE_FILE_MACHINE_AMD64 && magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        read = ReadOptionalHeader<IMAGE_OPTIONAL_HEADER64>(bytes, optional,
                                                           file.SizeOfOptionalHeader, facts);
    else if (file.Machine == IMAGE_FILE_MACHINE_I386 && magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        read = ReadOptionalHeader<IMAGE_OPTIONAL_HEADER32>(bytes, optional,
                                                           file.SizeOfOptionalHeader, facts);
    // Only a program for the Windows GUI or the console starts as a process: a driver or a
    // firmware image (an EFI application) does not.
    if (!read || (facts.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI &&
                  facts.subsystem != IMAGE_SUBSYSTEM_WINDOWS_CUI))
        return std::nullopt;

    const auto sections = ReadSections(bytes, optional + file.SizeOfOptionalHeader,
                                       file.NumberOfSections, facts.entryPoint);
    // A download cut off before its last section's end would start, if at all, as garbage; an
    // entry point outside every section runs whatever lies there.
    if (!sections || sections->end == 0 || !sections->holdsEntryPoint ||
        fileSize < std::max(sections->end, facts.sizeOfHeaders))
        return std::nullopt;
    return ProgramImage{facts.carriesSignature};
}

} // namespace

std::optional<ProgramImage> ReadProgramImage(HANDLE file) noexcept
{
    try {
        LARGE_INTEGER size{};
        if (file == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file, &size))
            return std::nullopt;
        std::vector<char> headers(kHeaderReadSize);
        DWORD read = 0;
        OVERLAPPED start{}; // offset 0, whatever the file's position
        const LARGE_INTEGER origin{};
        if (!::ReadFile(file, headers.data(), kHeaderReadSize, &read, &start) ||
            !::SetFilePointerEx(file, origin, nullptr, FILE_BEGIN))
            return std::nullopt;
        return ParseProgramImage(std::string_view(headers.data(), read),
                                 static_cast<unsigned long long>(size.QuadPart));
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace app
