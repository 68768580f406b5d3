#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace salvex {

// What an H.264 slice header's layout depends on, from the SPS.
struct h264_sps_layout
{
    uint32_t chroma_array_type = 1;
    bool separate_colour_plane = false;
    uint32_t log2_max_frame_num = 4;
    uint32_t pic_order_cnt_type = 0;
    uint32_t log2_max_pic_order_cnt_lsb = 4;
    bool delta_pic_order_always_zero = false;
    bool frame_mbs_only = true;
    uint32_t pic_size_in_map_units = 0;
};

// ... and from the PPS.
struct h264_pps_layout
{
    bool cabac = false;
    bool bottom_field_pic_order_in_frame_present = false;
    uint32_t num_slice_groups_minus1 = 0;
    uint32_t slice_group_map_type = 0;
    uint32_t slice_group_change_rate = 1;
    uint32_t num_ref_idx_default_minus1[2] = {0, 0};
    bool weighted_pred = false;
    uint32_t weighted_bipred_idc = 0;
    bool deblocking_filter_control_present = false;
    bool redundant_pic_cnt_present = false;
};

// Units without emulation prevention, header byte first; nothing when a unit is cut short or
// holds values the syntax does not allow.
std::optional<h264_sps_layout> parse_h264_sps(const uint8_t *unit, size_t size);
std::optional<h264_pps_layout> parse_h264_pps(const uint8_t *unit, size_t size);

// Where a slice's header ends, in bits after the unit's header byte: for a CABAC slice the
// cabac_alignment_one_bits that align its slice data to a byte follow there.
std::optional<size_t> h264_slice_header_end(const uint8_t *unit, size_t size,
                                            const h264_sps_layout &sps, const h264_pps_layout &pps);

} // namespace salvex
