#pragma once
// Where the program's libraries come from: the system folder only. With the default search order
// a DLL named like a system one (version.dll, winhttp.dll) placed beside the program, or in the
// current folder, would be loaded into it; so each program calls this first thing, at its entry,
// before anything loads a library. Imports the loader resolves before that cannot be protected
// this way: the few that are not among Windows' KnownDLLs are linked with delayed imports (see
// cmake/DelayImports.cmake), so that they too load through this rule.
#include "base/Win.h"

inline void SearchLibrariesInSystemFolderOnly() noexcept
{
    // Windows 7 has the call only with its update KB2533623: asked for by name, so that a
    // system without it still starts; there the current folder at least leaves the search.
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    const auto set = reinterpret_cast<SetDefaultDirectories>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (!set || !set(LOAD_LIBRARY_SEARCH_SYSTEM32))
        (void)::SetDllDirectoryW(L"");
}
