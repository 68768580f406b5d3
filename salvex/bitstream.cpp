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

void bs_t::pad_to_byte() { m_bits = (m_bits + 7) / 8 * 8; }

void bs_t::put_bytes(const uint8_t *data, size_t size)
{
    m_bytes.insert(m_bytes.end(), data, data + size);
    m_bits += size * 8;
}

void copy_bits(bit_reader_t &reader, bs_t &writer)
{
    // The body of a slice is most of a recording's bytes: when reader and writer stand at the
    // same offset within a byte, whole bytes go across at once.
    while (reader.remaining() > 7 && (reader.position() % 8 != 0 || writer.bits_written() % 8 != 0)) {
        if (reader.position() % 8 == writer.bits_written() % 8) {
            const int toBoundary = static_cast<int>(8 - reader.position() % 8);
            writer.put_bits(*reader.read_bits(toBoundary), toBoundary);
        } else {
            writer.put_bits(*reader.read_bits(8), 8);
        }
    }
    if (reader.remaining() > 7 && reader.position() % 8 == 0) {
        const size_t whole = (reader.remaining() - 1) / 8; // keep the last 1 to 8 bits apart
        writer.put_bytes(reader.data() + reader.position() / 8, whole);
        reader.skip_bytes(whole);
    }
    while (reader.remaining() > 7)
        writer.put_bits(*reader.read_bits(8), 8);

    const int last = static_cast<int>(reader.remaining());
    const uint32_t tail = *reader.read_bits(last);
    int keep = last;
    while (keep > 0 && ((tail >> (last - keep)) & 1) == 0)
        --keep;
    if (keep > 0)
        writer.put_bits(tail >> (last - keep), keep);
    writer.pad_to_byte();
}

} // namespace salvex
