#include "archive/RelativeFiles.h"

#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace archive {

namespace {

constexpr ULONG kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The name as the native calls take it, relative to folder; it borrows name's characters.
struct RelativeName {
    RelativeName(HANDLE folder, std::wstring_view name) noexcept
    {
        text.Buffer = const_cast<PWSTR>(name.data());
        text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
        InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    }
    UNICODE_STRING text = {};
    OBJECT_ATTRIBUTES attributes = {};
};

UniqueHandle OpenIn(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG disposition,
                    ULONG options, ULONG_PTR& outcome) noexcept
{
    RelativeName relative(folder, name);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    const NTSTATUS status = ::NtCreateFile(&handle, access | SYNCHRONIZE, &relative.attributes, &io, nullptr,
                            FILE_ATTRIBUTE_NORMAL, kShareAllButDelete, disposition,
                            options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT,
                            nullptr, 0);
    outcome = io.Information;
    return UniqueHandle(NT_SUCCESS(status) ? handle : nullptr);
}

} // namespace

UniqueHandle OpenFolderIn(HANDLE parent, std::wstring_view name, bool& created) noexcept
{
    ULONG_PTR outcome = 0;
    UniqueHandle folder = OpenIn(parent, name, FILE_LIST_DIRECTORY | FILE_TRAVERSE |
                                 FILE_READ_ATTRIBUTES, FILE_OPEN_IF, FILE_DIRECTORY_FILE, outcome);
    created = folder && outcome == FILE_CREATED;
    return folder;
}

UniqueHandle OpenAttributesIn(HANDLE folder, std::wstring_view name) noexcept
{
    ULONG_PTR outcome = 0;
    return OpenIn(folder, name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_OPEN,
                  FILE_NON_DIRECTORY_FILE, outcome);
}

bool RenameInto(HANDLE file, HANDLE folder, std::wstring_view name) noexcept
{
    // Through the native call: the Win32 one takes no folder to name the file from.
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    // With a terminating NUL, which also brings a one-letter name up to the structure's size.
    const size_t size = std::max(sizeof(FILE_RENAME_INFORMATION),
                                 offsetof(FILE_RENAME_INFORMATION, FileName) + nameBytes +
                                     sizeof(wchar_t));
    std::unique_ptr<std::uint8_t[]> storage(new (std::nothrow) std::uint8_t[size]());
    if (!storage)
        return false;
    auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(storage.get());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = folder;
    info->FileNameLength = static_cast<ULONG>(nameBytes);
    std::memcpy(info->FileName, name.data(), nameBytes);
    IO_STATUS_BLOCK io = {};
    return NT_SUCCESS(::NtSetInformationFile(file, &io, info, static_cast<ULONG>(size),
                                             FileRenameInformation));
}

DWORD AttributesOf(HANDLE file) noexcept
{
    FILE_BASIC_INFO info = {};
    return ::GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof(info))
               ? info.FileAttributes
               : INVALID_FILE_ATTRIBUTES;
}

} // namespace archive
