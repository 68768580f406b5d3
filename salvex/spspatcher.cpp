#include "spspatcher.h"

#include "bitstream.h"

#include <algorithm>

namespace salvex {

namespace {

// The length of an id's Exp-Golomb code.
int ue_length(uint32_t value)
{
    int bits = 1;
    while ((value + 1) >> (bits / 2 + 1))
        bits += 2;
    return bits;
}

// The slot holding `payload`, else the first free one whose id is coded as long as
// `stream_id`, else the first free one, else nothing.
template <size_t N>
std::optional<uint8_t> find_slot(std::array<std::vector<uint8_t>, N> &slots,
                                 const std::vector<uint8_t> &payload, uint32_t stream_id)
{
    for (size_t i = 0; i < N; ++i) {
        if (slots[i] == payload)
            return static_cast<uint8_t>(i);
    }
    for (const bool same_length : {true, false}) {
        for (size_t i = 0; i < N; ++i) {
            if (slots[i].empty() &&
                (!same_length || ue_length(static_cast<uint32_t>(i)) == ue_length(stream_id))) {
                slots[i] = payload;
                return static_cast<uint8_t>(i);
            }
        }
    }
    return std::nullopt;
}

std::vector<uint8_t> payload_of(const std::vector<uint8_t> &unit)
{
    return {unit.begin() + 1, unit.end()};
}

std::optional<std::vector<uint8_t>> rewrite_sps(const uint8_t *unit, size_t size, uint32_t id)
{
    bit_reader_t reader(unit + 1, size - 1);
    const auto head = reader.read_bits(24);
    const auto old_id = reader.read_ue();
    if (!head || !old_id)
        return std::nullopt;
    bs_t writer;
    writer.put_bits(unit[0], 8);
    writer.put_bits(*head, 24);
    writer.put_ue(id);
    copy_bits(reader, writer);
    return std::move(writer.bytes());
}

std::optional<std::vector<uint8_t>> rewrite_pps(const uint8_t *unit, size_t size, uint32_t pps_id,
                                                uint32_t sps_id)
{
    bit_reader_t reader(unit + 1, size - 1);
    if (!reader.read_ue() || !reader.read_ue())
        return std::nullopt;
    bs_t writer;
    writer.put_bits(unit[0], 8);
    writer.put_ue(pps_id);
    writer.put_ue(sps_id);
    copy_bits(reader, writer);
    return std::move(writer.bytes());
}

} // namespace

std::optional<std::vector<uint8_t>> h264_sps_id_patcher_t::patch_sps(const uint8_t *unit,
                                                                     size_t size)
{
    if (size < 2)
        return std::nullopt;
    bit_reader_t reader(unit + 1, size - 1);
    if (!reader.read_bits(24))
        return std::nullopt;
    const auto stream_id = reader.read_ue();
    if (!stream_id || *stream_id >= sps_slot_count)
        return std::nullopt;
    const auto keyed = rewrite_sps(unit, size, 0);
    if (!keyed)
        return std::nullopt;
    const auto slot = find_slot(m_sps_slots, payload_of(*keyed), *stream_id);
    if (!slot)
        return std::nullopt;
    if (!m_sps_layouts[*slot])
        m_sps_layouts[*slot] = parse_h264_sps(unit, size);
    m_sps_map[*stream_id] = *slot;
    return rewrite_sps(unit, size, *slot);
}

std::optional<std::vector<uint8_t>> h264_sps_id_patcher_t::patch_pps(const uint8_t *unit,
                                                                     size_t size)
{
    if (size < 2)
        return std::nullopt;
    bit_reader_t reader(unit + 1, size - 1);
    const auto stream_id = reader.read_ue();
    const auto sps_id = reader.read_ue();
    if (!stream_id || !sps_id || *stream_id >= pps_slot_count || *sps_id >= sps_slot_count)
        return std::nullopt;
    const uint32_t mapped_sps = m_sps_map[*sps_id];
    const auto keyed = rewrite_pps(unit, size, 0, mapped_sps);
    if (!keyed)
        return std::nullopt;
    const auto slot = find_slot(m_pps_slots, payload_of(*keyed), *stream_id);
    if (!slot)
        return std::nullopt;
    if (!m_pps_layouts[*slot]) {
        if (const auto layout = parse_h264_pps(unit, size))
            m_pps_layouts[*slot] = pps_entry{*layout, static_cast<uint8_t>(mapped_sps)};
    }
    m_pps_map[*stream_id] = *slot;
    return rewrite_pps(unit, size, *slot, mapped_sps);
}

std::optional<std::vector<uint8_t>> h264_sps_id_patcher_t::patch_slice(const uint8_t *unit,
                                                                       size_t size) const
{
    if (size < 2)
        return std::nullopt;
    bit_reader_t reader(unit + 1, size - 1);
    const auto first_mb = reader.read_ue();
    const auto slice_type = reader.read_ue();
    const auto pps_id = reader.read_ue();
    if (!first_mb || !slice_type || !pps_id || *pps_id >= pps_slot_count)
        return std::nullopt;
    const uint32_t slot = m_pps_map[*pps_id];
    const auto &entry = m_pps_layouts[slot];
    if (ue_length(slot) != ue_length(*pps_id) && entry && entry->layout.cabac)
        return realigned_cabac_slice(unit, size, *first_mb, *slice_type, slot);
    // Everything after the id moves by the same number of bits, which CAVLC slice data, unlike
    // CABAC's, does not mind; with an id of the same length nothing moves at all.
    bs_t writer;
    writer.put_bits(unit[0], 8);
    writer.put_ue(*first_mb);
    writer.put_ue(*slice_type);
    writer.put_ue(slot);
    copy_bits(reader, writer);
    return std::move(writer.bytes());
}

std::optional<std::vector<uint8_t>>
h264_sps_id_patcher_t::realigned_cabac_slice(const uint8_t *unit, size_t size, uint32_t first_mb,
                                             uint32_t slice_type, uint32_t pps_slot) const
{
    const pps_entry &pps = *m_pps_layouts[pps_slot];
    const auto &sps = m_sps_layouts[pps.sps_slot];
    if (!sps)
        return std::nullopt;
    const auto header_end = h264_slice_header_end(unit, size, *sps, pps.layout);
    if (!header_end)
        return std::nullopt;
    bit_reader_t reader(unit + 1, size - 1);
    for (int field = 0; field < 3; ++field)
        reader.read_ue();
    bs_t writer;
    writer.put_bits(unit[0], 8);
    writer.put_ue(first_mb);
    writer.put_ue(slice_type);
    writer.put_ue(pps_slot);
    // The rest of the header as it stands, then cabac_alignment_one_bits up to a byte boundary
    // on both sides, then the slice data byte for byte.
    for (size_t left = *header_end - reader.position(); left > 0;) {
        const int count = static_cast<int>(std::min<size_t>(left, 32));
        writer.put_bits(*reader.read_bits(count), count);
        left -= static_cast<size_t>(count);
    }
    const int reader_alignment = static_cast<int>((8 - reader.position() % 8) % 8);
    const auto ones = reader.read_bits(reader_alignment);
    if (!ones || *ones != (1u << reader_alignment) - 1)
        return std::nullopt;
    const int writer_alignment = static_cast<int>((8 - writer.bits_written() % 8) % 8);
    writer.put_bits((1u << writer_alignment) - 1, writer_alignment);
    const size_t data = 1 + reader.position() / 8;
    writer.put_bytes(unit + data, size - data);
    return std::move(writer.bytes());
}

} // namespace salvex
