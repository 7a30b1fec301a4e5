#pragma once
// Traditional zip encryption with the empty password, the only password this tool ever has: the
// check it offers before any data is decrypted (the last of the 12 encryption-header bytes,
// decrypted, must match a known byte), and the decryption of the data after that header.
#include <cstdint>
#include <span>

namespace archive {

inline constexpr std::size_t kEncryptionHeaderSize = 12;

// The three keys of traditional zip encryption as the empty password leaves them, updated with
// every byte decrypted.
class EmptyPasswordKeys {
public:
    EmptyPasswordKeys() noexcept;
    std::uint8_t Decrypt(std::uint8_t cipher) noexcept;
    void Decrypt(std::span<std::uint8_t> bytes) noexcept;

private:
    [[nodiscard]] std::uint32_t Crc(std::uint32_t crc, std::uint8_t byte) const noexcept;
    void Update(std::uint8_t plain) noexcept;

    const std::uint32_t* m_table;
    std::uint32_t m_key0 = 305419896;
    std::uint32_t m_key1 = 591751049;
    std::uint32_t m_key2 = 878082192;
};

// True when the header decrypts with the keys of the empty password and its last byte equals
// checkByte: the high byte of the entry's CRC-32, or of its DOS time when the sizes and CRC
// follow the data (general-purpose bit 3).
[[nodiscard]] bool EmptyPasswordOpens(std::span<const std::uint8_t, kEncryptionHeaderSize> header,
                                      std::uint8_t checkByte) noexcept;

} // namespace archive
