#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace salvex {

// Gives every distinct H.264 SPS and PPS an id of its own (identical ones, ids aside, share one)
// and rewrites slice headers to match. Units come without emulation prevention, header byte
// first; a unit that is malformed (cut short, an id out of range, an Exp-Golomb code too long)
// or for which no slot is free gives nothing.
class h264_sps_id_patcher_t
{
public:
    std::optional<std::vector<uint8_t>> patch_sps(const uint8_t *unit, size_t size);
    std::optional<std::vector<uint8_t>> patch_pps(const uint8_t *unit, size_t size);
    std::optional<std::vector<uint8_t>> patch_slice(const uint8_t *unit, size_t size) const;
    // True when slices referring to this PPS id keep it.
    bool keeps_pps_id(uint32_t pps_id) const
    {
        return pps_id < pps_slot_count && m_pps_map[pps_id] == pps_id;
    }

private:
    static constexpr size_t sps_slot_count = 32;
    static constexpr size_t pps_slot_count = 256;

    // A slot holds a set rewritten with id 0 (payload after the header byte); empty = free.
    std::array<std::vector<uint8_t>, sps_slot_count> m_sps_slots;
    std::array<std::vector<uint8_t>, pps_slot_count> m_pps_slots;
    std::array<uint8_t, sps_slot_count> m_sps_map{};
    std::array<uint8_t, pps_slot_count> m_pps_map{};
};

} // namespace salvex
