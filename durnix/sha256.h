#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace durnix {

// SHA-256 over data fed in pieces, for checking that a program is the one a build made.
class sha256
{
public:
    sha256();
    void add(const void *data, size_t size);
    // The digest as 64 lowercase hexadecimal digits; the object is used up.
    std::string hex();

private:
    void block(const uint8_t *data);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_buffer{};
    size_t m_buffered = 0;
    uint64_t m_length = 0;
};

} // namespace durnix
