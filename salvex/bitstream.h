#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace salvex {

// Reads a byte range most significant bit first. Reading past the end fails instead of
// inventing bits, so a unit cut short before its header fields is caught.
class bit_reader_t
{
public:
    bit_reader_t(const uint8_t *data, size_t size) : m_data(data), m_bits(size * 8) {}

    std::optional<uint32_t> read_bits(int count);
    // Unsigned Exp-Golomb; nothing for a code with more than 16 leading zero bits or cut short.
    std::optional<uint32_t> read_ue();
    // Signed Exp-Golomb, on the same terms.
    std::optional<int32_t> read_se();
    // Only on a byte boundary, and never past the end.
    void skip_bytes(size_t count) { m_position += count * 8; }
    // The bit index just after the last 1 bit at or after the current position, or the current
    // position when only zero bits remain.
    size_t last_one_bit_end() const;
    size_t remaining() const { return m_bits - m_position; }
    size_t position() const { return m_position; }
    const uint8_t *data() const { return m_data; }

private:
    const uint8_t *m_data;
    size_t m_bits;
    size_t m_position = 0;
};

// Appends bits most significant bit first.
class bs_t
{
public:
    void put_bits(uint32_t value, int count);
    void put_ue(uint32_t value);
    void pad_to_byte();
    size_t bits_written() const { return m_bits; }
    std::vector<uint8_t> &bytes() { return m_bytes; }
    // Appends whole bytes; the writer must stand on a byte boundary.
    void put_bytes(const uint8_t *data, size_t size);

private:
    std::vector<uint8_t> m_bytes;
    size_t m_bits = 0;
};

// Copies the reader's remaining bits to the writer up to and including the last 1 bit (the
// stop bit), leaving out every zero bit after it, then pads the writer to a whole byte.
void copy_bits(bit_reader_t &reader, bs_t &writer);

} // namespace salvex
