#include "archive/EmptyPassword.h"

#include <zlib.h>

namespace archive {

EmptyPasswordKeys::EmptyPasswordKeys() noexcept
    : m_table(reinterpret_cast<const std::uint32_t*>(get_crc_table()))
{
}

std::uint8_t EmptyPasswordKeys::Decrypt(std::uint8_t cipher) noexcept
{
    const std::uint32_t temp = (m_key2 & 0xFFFF) | 2;
    const auto plain = static_cast<std::uint8_t>(cipher ^ (((temp * (temp ^ 1)) >> 8) & 0xFF));
    Update(plain);
    return plain;
}

void EmptyPasswordKeys::Decrypt(std::span<std::uint8_t> bytes) noexcept
{
    for (std::uint8_t& byte : bytes)
        byte = Decrypt(byte);
}

std::uint32_t EmptyPasswordKeys::Crc(std::uint32_t crc, std::uint8_t byte) const noexcept
{
    return m_table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

void EmptyPasswordKeys::Update(std::uint8_t plain) noexcept
{
    m_key0 = Crc(m_key0, plain);
    m_key1 = (m_key1 + (m_key0 & 0xFF)) * 134775813 + 1;
    m_key2 = Crc(m_key2, static_cast<std::uint8_t>(m_key1 >> 24));
}

bool EmptyPasswordOpens(std::span<const std::uint8_t, kEncryptionHeaderSize> header,
                        std::uint8_t checkByte) noexcept
{
    EmptyPasswordKeys keys;
    std::uint8_t last = 0;
    for (std::uint8_t cipher : header)
        last = keys.Decrypt(cipher);
    return last == checkByte;
}

} // namespace archive
