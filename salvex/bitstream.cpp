#include "bitstream.h"

#include <cstring>

namespace salvex {

std::optional<uint32_t> bit_reader_t::read_bits(int count)
{
    if (count < 0 || count > 32 || static_cast<size_t>(count) > remaining())
        return std::nullopt;
    if (count == 0)
        return 0u;
    // Up to 39 bits are needed: 7 of offset into the first byte and 32 of value.
    const size_t first = m_position / 8;
    const size_t lastByte = (m_position + static_cast<size_t>(count) - 1) / 8;
    uint64_t window = 0;
    for (size_t i = first; i <= lastByte; ++i)
        window = window << 8 | m_data[i];
    const size_t unusedLowBits = (lastByte + 1) * 8 - (m_position + static_cast<size_t>(count));
    m_position += static_cast<size_t>(count);
    return static_cast<uint32_t>((window >> unusedLowBits) & ((uint64_t{1} << count) - 1));
}

std::optional<uint32_t> bit_reader_t::read_ue()
{
    int zeros = 0;
    for (;;) {
        const auto bit = read_bits(1);
        if (!bit)
            return std::nullopt;
        if (*bit == 1)
            break;
        if (++zeros > 16)
            return std::nullopt;
    }
    const auto suffix = read_bits(zeros);
    if (!suffix)
        return std::nullopt;
    return ((1u << zeros) - 1) + *suffix;
}

std::optional<int32_t> bit_reader_t::read_se()
{
    const auto code = read_ue();
    if (!code)
        return std::nullopt;
    const auto magnitude = static_cast<int32_t>((*code + 1) / 2);
    return *code % 2 == 1 ? magnitude : -magnitude;
}

size_t bit_reader_t::last_one_bit_end() const
{
    for (size_t byte = m_bits / 8; byte-- > m_position / 8;) {
        if (m_data[byte] == 0)
            continue;
        const size_t end = byte * 8 + 8 - static_cast<size_t>(__builtin_ctz(m_data[byte]));
        return end > m_position ? end : m_position;
    }
    return m_position;
}

void bs_t::put_bits(uint32_t value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        if (m_bits % 8 == 0)
            m_bytes.push_back(0);
        if ((value >> i) & 1)
            m_bytes.back() |= static_cast<uint8_t>(0x80 >> (m_bits % 8));
        ++m_bits;
    }
}

void bs_t::put_ue(uint32_t value)
{
    // Values come from read_ue (at most 16 leading zeros) or are parameter-set ids.
    const uint32_t code = value + 1;
    int length = 0;
    while ((code >> (length + 1)) != 0)
        ++length;
    put_bits(0, length);
    put_bits(code, length + 1);
}

void bs_t::pad_to_byte()
{
    m_bits = (m_bits + 7) / 8 * 8;
}

void bs_t::put_bytes(const uint8_t *data, size_t size)
{
    m_bytes.insert(m_bytes.end(), data, data + size);
    m_bits += size * 8;
}

void copy_bits(bit_reader_t &reader, bs_t &writer)
{
    // Everything up to and including the last 1 bit (the stop bit), then zero padding: the
    // rewritten unit never ends in a zero byte, whatever zero bits followed the stop bit.
    const size_t end = reader.last_one_bit_end();
    size_t count = end > reader.position() ? end - reader.position() : 0;

    // The body of a slice is most of a recording's bytes: when reader and writer stand at the
    // same offset within a byte, whole bytes go across at once.
    if (count >= 8 && reader.position() % 8 == writer.bits_written() % 8) {
        const int to_boundary = static_cast<int>((8 - reader.position() % 8) % 8);
        writer.put_bits(*reader.read_bits(to_boundary), to_boundary);
        count -= static_cast<size_t>(to_boundary);
        const size_t whole = count / 8;
        writer.put_bytes(reader.data() + reader.position() / 8, whole);
        reader.skip_bytes(whole);
        count -= whole * 8;
    }
    for (; count >= 8; count -= 8)
        writer.put_bits(*reader.read_bits(8), 8);
    writer.put_bits(*reader.read_bits(static_cast<int>(count)), static_cast<int>(count));
    writer.pad_to_byte();
}

} // namespace salvex
