#pragma once
// Folder chains below an extraction's root folder, each folder held open from the moment it is
// made or checked until the extraction ends, so that it cannot be renamed, removed or replaced by
// a link while entries are put in it. The root and the folders above it are taken as they are (a
// player may have moved the game behind a link); below it every folder must be a plain one: a
// link or junction there could lead the extraction anywhere. Used on one thread.
#include "archive/ExtractResult.h"
#include "base/Unique.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace archive {

class FolderMaker {
public:
    // root: the folder relative paths start from, ending with a separator.
    explicit FolderMaker(std::wstring root) noexcept : m_root(std::move(root)) {}

    // Called with a folder's full path right after it is first held.
    void WatchHeld(std::function<void(const std::wstring&)> watch) noexcept
    {
        m_watch = std::move(watch);
    }

    // Holds the root, made (one level) when nothing is there, and every folder of path
    // (separators '\' and '/') below it, each made inside the one above it when missing; folder
    // receives the last one, the root for an empty path, held as long as this maker.
    // UnsafeName when one of them is a link or junction, CannotOpen when a file
    // stands in the way or a folder cannot be made or opened.
    [[nodiscard]] ExtractResult Make(std::wstring_view path, HANDLE& folder) noexcept;

    // Whether every folder of path that Make held is still reached by its name rather than
    // through a link put in its place.
    [[nodiscard]] bool StillInPlace(std::wstring_view path) const noexcept;

private:
    [[nodiscard]] ExtractResult HoldRoot() noexcept;
    [[nodiscard]] ExtractResult HoldOne(std::wstring_view folder, HANDLE& parent);

    std::wstring m_root;
    UniqueHandle m_rootFolder;
    // Folders held in this extraction, by their upper-cased path with '\' between the parts.
    std::unordered_map<std::wstring, UniqueHandle> m_held;
    std::function<void(const std::wstring&)> m_watch;
};

} // namespace archive
