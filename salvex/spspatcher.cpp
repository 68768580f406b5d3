#include "spspatcher.h"

#include "bitstream.h"

namespace salvex {

namespace {

// The slot holding `payload`, else the first free one, else nothing.
template <size_t N>
std::optional<uint8_t> find_slot(std::array<std::vector<uint8_t>, N> &slots,
                                 const std::vector<uint8_t> &payload)
{
    for (size_t i = 0; i < N; ++i) {
        if (slots[i] == payload)
            return static_cast<uint8_t>(i);
    }
    for (size_t i = 0; i < N; ++i) {
        if (slots[i].empty()) {
            slots[i] = payload;
            return static_cast<uint8_t>(i);
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
    const auto slot = find_slot(m_sps_slots, payload_of(*keyed));
    if (!slot)
        return std::nullopt;
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
    const auto slot = find_slot(m_pps_slots, payload_of(*keyed));
    if (!slot)
        return std::nullopt;
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
    bs_t writer;
    writer.put_bits(unit[0], 8);
    writer.put_ue(*first_mb);
    writer.put_ue(*slice_type);
    writer.put_ue(m_pps_map[*pps_id]);
    copy_bits(reader, writer);
    return std::move(writer.bytes());
}

} // namespace salvex
