#pragma once
// pagescript --methods and --sites: the bridge's method table and the tool's own sites as the
// code holds them, one a line.

namespace pagescript {

// Prints "id name parameters result" for each method in table order, a header line first;
// parameters are comma-separated type names, "-" for none. False when it could not be printed.
[[nodiscard]] bool PrintMethodTable() noexcept;

// Prints "origin answer" for each own site: "bridge" when its pages get window.external, else
// "no-bridge" (an own site whose pages are served over plain HTTP).
void PrintOwnSites() noexcept;

} // namespace pagescript
