#pragma once
// Folder chains below an extraction's root folder. The root and the folders above it are taken
// as they are (a player may have moved the game behind a link); below it every folder must be a
// plain one: a link or junction there could lead the extraction anywhere. Each folder is made or
// checked once per extraction and remembered. Used on one thread.
#include "archive/ExtractResult.h"

#include <string>
#include <string_view>
#include <unordered_set>

namespace archive {

class FolderMaker {
public:
    // root: the folder relative paths start from, ending with a separator.
    explicit FolderMaker(std::wstring root) noexcept : m_root(std::move(root)) {}

    // Makes every missing folder of path (separators '\' and '/') below the root, and the root
    // itself (one level) when nothing is there. ExtractUnsafeName when one of them is a link
    // or junction, ExtractCannotOpen when a file stands in the way or a folder cannot be made.
    [[nodiscard]] ExtractResult Make(std::wstring_view path) noexcept;

private:
    [[nodiscard]] ExtractResult MakeOne(const std::wstring& path) noexcept;

    std::wstring m_root;
    bool m_rootMade = false;
    // Folders made or found sound in this extraction, upper-cased, with '\' between the parts.
    std::unordered_set<std::wstring> m_known;
};

} // namespace archive
