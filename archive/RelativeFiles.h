#pragma once
// Files and folders named relative to a folder held open, through the native calls (Win32 names
// files only by path). A name looked up from a folder handle is found in that folder wherever
// the folder has gone meanwhile, not wherever its path leads now.
#include "base/Unique.h"

#include <string_view>

namespace archive {

// The folder name (one level, no separator) in parent, made when missing, open to be listed and
// named from, shared for reading and writing but not for deletion, so that nobody renames or
// removes it while it is held. A link or junction there is opened as itself where the system
// can (not where it follows links on opening).
// created tells whether it was made just now. Empty when a file stands there or the folder cannot
// be made or opened.
[[nodiscard]] UniqueHandle OpenFolderIn(HANDLE parent, std::wstring_view name,
                                        bool& created) noexcept;

// The file name in folder, open for its attributes, the link itself where it is one; empty when
// there is none.
[[nodiscard]] UniqueHandle OpenAttributesIn(HANDLE folder, std::wstring_view name) noexcept;

// Gives the open file (opened with DELETE access) the name in folder, replacing a file there
// that the system lets it replace.
[[nodiscard]] bool RenameInto(HANDLE file, HANDLE folder, std::wstring_view name) noexcept;

// The attributes of an open file or folder; INVALID_FILE_ATTRIBUTES when they cannot be read.
[[nodiscard]] DWORD AttributesOf(HANDLE file) noexcept;

} // namespace archive
