#pragma once
// pagescript --methods: the bridge's method table as the code holds it, one method a line.

namespace pagescript {

// Prints "id name parameters result" for each method in table order, a header line first;
// parameters are comma-separated type names, "-" for none. False when it could not be printed.
[[nodiscard]] bool PrintMethodTable() noexcept;

} // namespace pagescript
