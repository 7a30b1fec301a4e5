#pragma once
// The one maker of folder chains, for the paths the tool and its page name ('\' only) and for
// names taken from archives, which may also use '/'.
#include <string_view>

namespace folders {

enum class Separators {
    BackslashOnly,    // a '/' is part of a name (and so fails where the system reads it as '\')
    BackslashOrSlash, // both end a folder's name
};

// Makes root when nothing is there, one level (its parents are the caller's), then every
// missing folder along path below it, from the top down; root is empty or ends with a
// separator. A separator at the very start of path ends no folder (a UNC or root-relative
// path). Levels of MAX_PATH characters or more are left alone, like those that exist. True when
// root + path is a folder afterwards: a file in the way, a missing drive or a refusal all show
// there.
[[nodiscard]] bool MakeChain(std::wstring_view root, std::wstring_view path,
                             Separators separators) noexcept;

} // namespace folders
