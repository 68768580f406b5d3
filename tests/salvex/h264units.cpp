#include "h264units.h"

#include <cstring>

namespace salvex::test {

namespace {

// A bit writer of the test's own, so that units are not built by the code under test.
class bits
{
public:
    void put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            if (m_count % 8 == 0)
                m_bytes.push_back(0);
            if ((value >> i) & 1)
                m_bytes.back() |= static_cast<uint8_t>(0x80 >> (m_count % 8));
            ++m_count;
        }
    }
    void ue(uint32_t value)
    {
        const uint32_t code = value + 1;
        int length = 0;
        while (code >> (length + 1))
            ++length;
        put(0, length);
        put(code, length + 1);
    }
    bytes finish()
    {
        put(1, 1); // stop bit
        m_count = (m_count + 7) / 8 * 8;
        return m_bytes;
    }

private:
    bytes m_bytes;
    size_t m_count = 0;
};

} // namespace

bytes sps_unit(uint32_t id, uint32_t log2_max_frame_num_minus4)
{
    bits b;
    b.put(0x67, 8);
    b.put(66, 8);   // profile: baseline
    b.put(0xc0, 8); // constraint flags
    b.put(30, 8);   // level 3.0
    b.ue(id);
    b.ue(log2_max_frame_num_minus4);
    b.ue(2); // pic_order_cnt_type
    b.ue(1); // max_num_ref_frames
    b.put(0, 1);
    b.ue(19); // width in macroblocks - 1
    b.ue(14); // height in map units - 1
    b.put(1, 1);
    b.put(1, 1);
    b.put(0, 1);
    b.put(0, 1);
    return b.finish();
}

bytes pps_unit(uint32_t pps_id, uint32_t sps_id)
{
    bits b;
    b.put(0x68, 8);
    b.ue(pps_id);
    b.ue(sps_id);
    b.put(0, 1); // entropy coding: CAVLC
    b.put(0, 1);
    b.ue(0);
    return b.finish();
}

bytes slice_unit(bool idr, uint32_t first_mb, uint32_t pps_id, uint8_t body_byte)
{
    bits b;
    b.put(idr ? 0x65 : 0x41, 8);
    b.ue(first_mb);
    b.ue(idr ? 7 : 5); // slice type
    b.ue(pps_id);
    for (int i = 0; i < 6; ++i)
        b.put(body_byte, 8);
    return b.finish();
}

bytes annex_b(std::initializer_list<bytes> units)
{
    bytes out;
    for (const bytes &unit : units) {
        out.insert(out.end(), {0, 0, 0, 1});
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

memory_mp4::memory_mp4()
{
    mux = MP4E_mux_t::MP4E_open([this](int64_t offset, const void *data, size_t size) {
        const size_t end = static_cast<size_t>(offset) + size;
        if (file.size() < end)
            file.resize(end);
        std::memcpy(file.data() + offset, data, size);
        return 0;
    });
}

} // namespace salvex::test
