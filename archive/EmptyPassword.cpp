#include "archive/EmptyPassword.h"

#include <zlib.h>

namespace archive {

namespace {

// The three keys of traditional zip encryption, as the zip file format describes them.
class EncryptionKeys {
public:
    EncryptionKeys() noexcept : m_table(get_crc_table()) {}

    std::uint8_t Decrypt(std::uint8_t cipher) noexcept
    {
        const std::uint32_t temp = (m_key2 & 0xFFFF) | 2;
        const auto plain = static_cast<std::uint8_t>(cipher ^ (((temp * (temp ^ 1)) >> 8) & 0xFF));
        Update(plain);
        return plain;
    }

private:
    std::uint32_t Crc(std::uint32_t crc, std::uint8_t byte) const noexcept
    {
        return static_cast<std::uint32_t>(m_table[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
    }

    void Update(std::uint8_t plain) noexcept
    {
        m_key0 = Crc(m_key0, plain);
        m_key1 = (m_key1 + (m_key0 & 0xFF)) * 134775813 + 1;
        m_key2 = Crc(m_key2, static_cast<std::uint8_t>(m_key1 >> 24));
    }

    const z_crc_t* m_table;
    // The keys' starting values; an empty password leaves them as they are.
    std::uint32_t m_key0 = 305419896;
    std::uint32_t m_key1 = 591751049;
    std::uint32_t m_key2 = 878082192;
};

} // namespace

bool EmptyPasswordOpens(std::span<const std::uint8_t, kEncryptionHeaderSize> header,
                        std::uint8_t checkByte) noexcept
{
    EncryptionKeys keys;
    std::uint8_t last = 0;
    for (std::uint8_t cipher : header)
        last = keys.Decrypt(cipher);
    return last == checkByte;
}

} // namespace archive
