#pragma once

#include "sliceheader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace salvex {

// Gives every distinct H.264 SPS and PPS an id of its own (identical ones, ids aside, share one)
// and rewrites slice headers to match. A new set takes a free id whose Exp-Golomb code is as long
// as its own where one is left, so that slice headers keep their length. Where a header's length
// changes, a CABAC slice's header is parsed to its end and its slice data stays byte-aligned.
// Units come without emulation prevention, header byte first; a unit that is malformed (cut
// short, an id out of range, an Exp-Golomb code too long) or for which no slot is free gives
// nothing.
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

    struct pps_entry
    {
        h264_pps_layout layout;
        uint8_t sps_slot = 0;
    };
    std::optional<std::vector<uint8_t>> realigned_cabac_slice(const uint8_t *unit, size_t size,
                                                              uint32_t first_mb,
                                                              uint32_t slice_type,
                                                              uint32_t pps_slot) const;

    // A slot holds a set rewritten with id 0 (payload after the header byte); empty = free.
    std::array<std::vector<uint8_t>, sps_slot_count> m_sps_slots;
    std::array<std::vector<uint8_t>, pps_slot_count> m_pps_slots;
    // What slice headers of each slot's sets look like; nothing where a set could not be read.
    std::array<std::optional<h264_sps_layout>, sps_slot_count> m_sps_layouts;
    std::array<std::optional<pps_entry>, pps_slot_count> m_pps_layouts;
    std::array<uint8_t, sps_slot_count> m_sps_map{};
    std::array<uint8_t, pps_slot_count> m_pps_map{};
};

} // namespace salvex
