#include "sliceheader.h"

#include "bitstream.h"

namespace salvex {

namespace {

constexpr int max_list_entries = 64; // modification and marking loops end well before

bool skip_ue(bit_reader_t &r, int count = 1)
{
    for (int i = 0; i < count; ++i) {
        if (!r.read_ue())
            return false;
    }
    return true;
}

bool skip_scaling_list(bit_reader_t &r, int size)
{
    int last = 8, next = 8;
    for (int j = 0; j < size; ++j) {
        if (next != 0) {
            const auto delta = r.read_se();
            if (!delta)
                return false;
            next = (last + *delta + 256) % 256;
        }
        last = next == 0 ? last : next;
    }
    return true;
}

bool high_profile(uint32_t profile_idc)
{
    for (const uint32_t p :
         {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 138u, 139u, 134u, 135u}) {
        if (profile_idc == p)
            return true;
    }
    return false;
}

// ref_pic_list_modification for one list: pairs until the code 3.
bool skip_list_modification(bit_reader_t &r)
{
    const auto present = r.read_bits(1);
    if (!present)
        return false;
    for (int i = 0; *present && i < max_list_entries; ++i) {
        const auto idc = r.read_ue();
        if (!idc || *idc > 5)
            return false;
        if (*idc == 3)
            return true;
        if (!r.read_ue())
            return false;
    }
    return !*present;
}

bool skip_weights(bit_reader_t &r, uint32_t count, bool chroma)
{
    for (uint32_t i = 0; i < count; ++i) {
        const auto luma = r.read_bits(1);
        if (!luma || (*luma && (!r.read_se() || !r.read_se())))
            return false;
        if (chroma) {
            const auto flag = r.read_bits(1);
            if (!flag)
                return false;
            for (int c = 0; *flag && c < 4; ++c) {
                if (!r.read_se())
                    return false;
            }
        }
    }
    return true;
}

bool skip_ref_pic_marking(bit_reader_t &r, bool idr)
{
    if (idr)
        return r.read_bits(2).has_value();
    const auto adaptive = r.read_bits(1);
    if (!adaptive)
        return false;
    for (int i = 0; *adaptive && i < max_list_entries; ++i) {
        const auto op = r.read_ue();
        if (!op || *op > 6)
            return false;
        if (*op == 0)
            return true;
        // Every operation but 5 (all references unused) carries a number; 3 carries two.
        if (*op != 5 && !r.read_ue())
            return false;
        if (*op == 3 && !r.read_ue())
            return false;
    }
    return !*adaptive;
}

} // namespace

std::optional<h264_sps_layout> parse_h264_sps(const uint8_t *unit, size_t size)
{
    if (size < 4)
        return std::nullopt;
    bit_reader_t r(unit + 1, size - 1);
    h264_sps_layout sps;
    const auto profile = r.read_bits(8);
    if (!profile || !r.read_bits(16) || !r.read_ue())
        return std::nullopt;
    if (high_profile(*profile)) {
        const auto chroma = r.read_ue();
        if (!chroma || *chroma > 3)
            return std::nullopt;
        sps.chroma_array_type = *chroma;
        if (*chroma == 3) {
            const auto separate = r.read_bits(1);
            if (!separate)
                return std::nullopt;
            sps.separate_colour_plane = *separate;
            if (sps.separate_colour_plane)
                sps.chroma_array_type = 0;
        }
        const auto matrix = (skip_ue(r, 2) && r.read_bits(1)) ? r.read_bits(1) : std::nullopt;
        if (!matrix)
            return std::nullopt;
        for (int i = 0; *matrix && i < (*chroma != 3 ? 8 : 12); ++i) {
            const auto present = r.read_bits(1);
            if (!present || (*present && !skip_scaling_list(r, i < 6 ? 16 : 64)))
                return std::nullopt;
        }
    }
    const auto frame_num = r.read_ue();
    const auto poc_type = r.read_ue();
    if (!frame_num || *frame_num > 12 || !poc_type || *poc_type > 2)
        return std::nullopt;
    sps.log2_max_frame_num = *frame_num + 4;
    sps.pic_order_cnt_type = *poc_type;
    if (*poc_type == 0) {
        const auto lsb = r.read_ue();
        if (!lsb || *lsb > 12)
            return std::nullopt;
        sps.log2_max_pic_order_cnt_lsb = *lsb + 4;
    } else if (*poc_type == 1) {
        const auto always_zero = r.read_bits(1);
        if (!always_zero || !r.read_se() || !r.read_se())
            return std::nullopt;
        sps.delta_pic_order_always_zero = *always_zero;
        const auto cycle = r.read_ue();
        if (!cycle || *cycle > 255)
            return std::nullopt;
        for (uint32_t i = 0; i < *cycle; ++i) {
            if (!r.read_se())
                return std::nullopt;
        }
    }
    if (!skip_ue(r) || !r.read_bits(1))
        return std::nullopt;
    const auto width = r.read_ue();
    const auto height = r.read_ue();
    const auto frame_mbs_only = r.read_bits(1);
    if (!width || !height || !frame_mbs_only)
        return std::nullopt;
    sps.frame_mbs_only = *frame_mbs_only;
    sps.pic_size_in_map_units = (*width + 1) * (*height + 1);
    return sps;
}

std::optional<h264_pps_layout> parse_h264_pps(const uint8_t *unit, size_t size)
{
    if (size < 2)
        return std::nullopt;
    bit_reader_t r(unit + 1, size - 1);
    h264_pps_layout pps;
    const auto cabac = skip_ue(r, 2) ? r.read_bits(1) : std::nullopt;
    const auto bottom = r.read_bits(1);
    const auto groups = r.read_ue();
    if (!cabac || !bottom || !groups || *groups > 7)
        return std::nullopt;
    pps.cabac = *cabac;
    pps.bottom_field_pic_order_in_frame_present = *bottom;
    pps.num_slice_groups_minus1 = *groups;
    if (*groups > 0) {
        const auto type = r.read_ue();
        if (!type || *type > 6)
            return std::nullopt;
        pps.slice_group_map_type = *type;
        if (*type == 0 && !skip_ue(r, static_cast<int>(*groups) + 1))
            return std::nullopt;
        if (*type == 2 && !skip_ue(r, 2 * static_cast<int>(*groups)))
            return std::nullopt;
        if (*type >= 3 && *type <= 5) {
            const auto rate = r.read_bits(1) ? r.read_ue() : std::nullopt;
            if (!rate)
                return std::nullopt;
            pps.slice_group_change_rate = *rate + 1;
        }
        if (*type == 6) {
            const auto map_units = r.read_ue();
            if (!map_units)
                return std::nullopt;
            int bits = 0;
            while ((1u << bits) < *groups + 1)
                ++bits;
            for (uint32_t i = 0; i <= *map_units; ++i) {
                if (!r.read_bits(bits))
                    return std::nullopt;
            }
        }
    }
    const auto l0 = r.read_ue();
    const auto l1 = r.read_ue();
    const auto weighted = r.read_bits(1);
    const auto bipred = r.read_bits(2);
    if (!l0 || !l1 || *l0 > 31 || *l1 > 31 || !weighted || !bipred || !r.read_se() ||
        !r.read_se() || !r.read_se())
        return std::nullopt;
    pps.num_ref_idx_default_minus1[0] = *l0;
    pps.num_ref_idx_default_minus1[1] = *l1;
    pps.weighted_pred = *weighted;
    pps.weighted_bipred_idc = *bipred;
    const auto deblocking = r.read_bits(1);
    const auto constrained = r.read_bits(1);
    const auto redundant = r.read_bits(1);
    if (!deblocking || !constrained || !redundant)
        return std::nullopt;
    pps.deblocking_filter_control_present = *deblocking;
    pps.redundant_pic_cnt_present = *redundant;
    return pps;
}

std::optional<size_t> h264_slice_header_end(const uint8_t *unit, size_t size,
                                            const h264_sps_layout &sps, const h264_pps_layout &pps)
{
    if (size < 2)
        return std::nullopt;
    const bool idr = (unit[0] & 0x1f) == 5;
    const bool reference = (unit[0] & 0x60) != 0;
    bit_reader_t r(unit + 1, size - 1);
    const auto slice_type = skip_ue(r) ? r.read_ue() : std::nullopt;
    if (!slice_type || *slice_type > 9 || !skip_ue(r))
        return std::nullopt;
    const uint32_t type = *slice_type % 5; // 0 P, 1 B, 2 I, 3 SP, 4 SI
    const bool p = type == 0 || type == 3, b = type == 1;
    if (sps.separate_colour_plane && !r.read_bits(2))
        return std::nullopt;
    if (!r.read_bits(static_cast<int>(sps.log2_max_frame_num)))
        return std::nullopt;
    bool field = false;
    if (!sps.frame_mbs_only) {
        const auto field_pic = r.read_bits(1);
        if (!field_pic || (*field_pic && !r.read_bits(1)))
            return std::nullopt;
        field = *field_pic;
    }
    if (idr && !skip_ue(r))
        return std::nullopt;
    if (sps.pic_order_cnt_type == 0) {
        if (!r.read_bits(static_cast<int>(sps.log2_max_pic_order_cnt_lsb)) ||
            (pps.bottom_field_pic_order_in_frame_present && !field && !r.read_se()))
            return std::nullopt;
    }
    if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero) {
        if (!r.read_se() || (pps.bottom_field_pic_order_in_frame_present && !field && !r.read_se()))
            return std::nullopt;
    }
    if (pps.redundant_pic_cnt_present && !skip_ue(r))
        return std::nullopt;
    if (b && !r.read_bits(1))
        return std::nullopt;
    uint32_t active[2] = {pps.num_ref_idx_default_minus1[0], pps.num_ref_idx_default_minus1[1]};
    if (p || b) {
        const auto override = r.read_bits(1);
        if (!override)
            return std::nullopt;
        for (int list = 0; *override && list < (b ? 2 : 1); ++list) {
            const auto count = r.read_ue();
            if (!count || *count > 31)
                return std::nullopt;
            active[list] = *count;
        }
    }
    if (type != 2 && type != 4 && (!skip_list_modification(r) || (b && !skip_list_modification(r))))
        return std::nullopt;
    if ((pps.weighted_pred && p) || (pps.weighted_bipred_idc == 1 && b)) {
        const bool chroma = sps.chroma_array_type != 0;
        if (!skip_ue(r) || (chroma && !skip_ue(r)) || !skip_weights(r, active[0] + 1, chroma) ||
            (b && !skip_weights(r, active[1] + 1, chroma)))
            return std::nullopt;
    }
    if (reference && !skip_ref_pic_marking(r, idr))
        return std::nullopt;
    if (pps.cabac && type != 2 && type != 4 && !skip_ue(r))
        return std::nullopt;
    if (!r.read_se())
        return std::nullopt;
    if ((type == 3 && !r.read_bits(1)) || ((type == 3 || type == 4) && !r.read_se()))
        return std::nullopt;
    if (pps.deblocking_filter_control_present) {
        const auto disable = r.read_ue();
        if (!disable || *disable > 2 || (*disable != 1 && (!r.read_se() || !r.read_se())))
            return std::nullopt;
    }
    if (pps.num_slice_groups_minus1 > 0 && pps.slice_group_map_type >= 3 &&
        pps.slice_group_map_type <= 5) {
        int bits = 0;
        const uint64_t rate = pps.slice_group_change_rate;
        while ((rate << bits) < uint64_t{sps.pic_size_in_map_units} + rate)
            ++bits;
        if (!r.read_bits(bits))
            return std::nullopt;
    }
    return r.position();
}

} // namespace salvex
