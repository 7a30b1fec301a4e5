#pragma once
// The check that traditional zip encryption offers before any data is decrypted: the last of
// the 12 encryption-header bytes, decrypted with a password's keys, must match a known byte.
#include <cstdint>
#include <span>

namespace archive {

inline constexpr std::size_t kEncryptionHeaderSize = 12;

// True when the header decrypts with the keys of the empty password (the only password this
// tool ever has) and its last byte equals checkByte: the high byte of the entry's CRC-32, or of
// its DOS time when the sizes and CRC follow the data (general-purpose bit 3).
[[nodiscard]] bool EmptyPasswordOpens(std::span<const std::uint8_t, kEncryptionHeaderSize> header,
                                      std::uint8_t checkByte) noexcept;

} // namespace archive
