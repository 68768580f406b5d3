#include "mp4boxes.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace salvex {

namespace {

class box_writer
{
public:
    void u8(uint32_t v) { m_bytes.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) { u8(v >> 8), u8(v); }
    void u32(uint32_t v) { u16(v >> 16), u16(v); }
    void u64(uint64_t v) { u32(static_cast<uint32_t>(v >> 32)), u32(static_cast<uint32_t>(v)); }
    void zeros(size_t n) { m_bytes.insert(m_bytes.end(), n, 0); }
    void text(const char *s, size_t n) { m_bytes.insert(m_bytes.end(), s, s + n); }
    void bytes(const std::vector<uint8_t> &b) { m_bytes.insert(m_bytes.end(), b.begin(), b.end()); }

    // Sizes are filled in when the box ends.
    size_t begin(const char type[4])
    {
        const size_t at = m_bytes.size();
        u32(0);
        text(type, 4);
        return at;
    }
    size_t begin_full(const char type[4], uint32_t version, uint32_t flags)
    {
        const size_t at = begin(type);
        u32(version << 24 | flags);
        return at;
    }
    void end(size_t at)
    {
        const uint32_t size = static_cast<uint32_t>(m_bytes.size() - at);
        for (int i = 0; i < 4; ++i)
            m_bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    }

    std::vector<uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

void matrix(box_writer &w)
{
    for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u})
        w.u32(v);
}

uint64_t media_duration(const track_t &track)
{
    uint64_t sum = 0;
    for (const sample_entry_rec &s : track.samples)
        sum += s.duration;
    return sum;
}

void mvhd(box_writer &w, const std::vector<track_t> &tracks)
{
    const size_t at = w.begin_full("mvhd", 0, 0);
    w.u32(0); // creation time
    w.u32(0); // modification time
    w.u32(1000);
    // The movie lasts as long as its longest track: a recording without a first camera, or
    // whose first camera runs at a lower rate, still plays to its end.
    uint64_t longest = 0;
    for (const track_t &track : tracks)
        longest = std::max(longest, movie_duration(track));
    w.u32(static_cast<uint32_t>(longest));
    w.u32(0x00010000); // rate
    w.u16(0x0100);     // volume
    w.zeros(2 + 8);
    matrix(w);
    w.zeros(24);
    w.u32(static_cast<uint32_t>(tracks.size() + 1)); // next track ID
    w.end(at);
}

void tkhd(box_writer &w, const track_t &track, uint32_t track_id)
{
    const size_t at = w.begin_full("tkhd", 0, 7); // enabled, in movie, in preview
    w.u32(0);
    w.u32(0);
    w.u32(track_id);
    w.zeros(4);
    w.u32(static_cast<uint32_t>(movie_duration(track)));
    w.zeros(8);
    w.u16(0); // layer
    w.u16(0); // alternate group
    w.u16(0x0100);
    w.zeros(2);
    matrix(w);
    const bool video = track.info.track_media_kind == e_video;
    w.u32(video ? static_cast<uint32_t>(track.info.width) << 16 : 0);
    w.u32(video ? static_cast<uint32_t>(track.info.height) << 16 : 0);
    w.end(at);
}

void mdhd(box_writer &w, const track_t &track)
{
    const size_t at = w.begin_full("mdhd", 0, 0);
    w.u32(0);
    w.u32(0);
    w.u32(track.info.time_scale);
    w.u32(static_cast<uint32_t>(media_duration(track)));
    const auto letter = [&](int i) { return static_cast<uint32_t>(track.info.language[i]) & 31; };
    w.u16(letter(0) << 10 | letter(1) << 5 | letter(2));
    w.u16(0);
    w.end(at);
}

void hdlr(box_writer &w)
{
    const size_t at = w.begin_full("hdlr", 0, 0);
    w.u32(0);
    w.text("vide", 4);
    w.zeros(12);
    w.text("VideoHandler", 13);
    w.end(at);
}

void dinf(box_writer &w)
{
    const size_t at = w.begin("dinf");
    const size_t dref = w.begin_full("dref", 0, 0);
    w.u32(1);
    const size_t url = w.begin_full("url ", 0, 1); // media in this file
    w.end(url);
    w.end(dref);
    w.end(at);
}

void parameter_sets(box_writer &w, const std::vector<std::vector<uint8_t>> &sets)
{
    for (const auto &set : sets) {
        w.u16(static_cast<uint32_t>(set.size()));
        w.bytes(set);
    }
}

void avcC(box_writer &w, const track_t &track)
{
    const size_t at = w.begin("avcC");
    w.u8(1);
    // Profile, compatibility and level come from the first SPS; a track given none gets zeros
    // rather than bytes read from nowhere.
    const bool known = !track.sps.empty() && track.sps.front().size() >= 4;
    for (size_t i = 1; i <= 3; ++i)
        w.u8(known ? track.sps.front()[i] : 0);
    w.u8(0xff); // 4-byte length fields
    w.u8(0xe0 | static_cast<uint32_t>(track.sps.size()));
    parameter_sets(w, track.sps);
    w.u8(static_cast<uint32_t>(track.pps.size()));
    parameter_sets(w, track.pps);
    w.end(at);
}

// The 12 bytes of general profile, tier, compatibility, constraints and level at the start of an
// H.265 SPS's profile_tier_level, with emulation prevention removed; zeros without an SPS.
std::array<uint8_t, 12> h265_general_profile(const track_t &track)
{
    std::array<uint8_t, 12> profile{};
    if (track.sps.empty())
        return profile;
    // Two bytes of unit header, one of ids and sub-layer count, then the profile.
    const std::vector<uint8_t> &sps = track.sps.front();
    size_t filled = 0;
    int zeros = 0;
    for (size_t i = 3; i < sps.size() && filled < profile.size(); ++i) {
        if (zeros >= 2 && sps[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = sps[i] == 0 ? zeros + 1 : 0;
        profile[filled++] = sps[i];
    }
    return filled == profile.size() ? profile : std::array<uint8_t, 12>{};
}

void hvcC(box_writer &w, const track_t &track)
{
    const size_t at = w.begin("hvcC");
    w.u8(1);
    const std::array<uint8_t, 12> profile = h265_general_profile(track);
    for (const uint8_t b : profile)
        w.u8(b);
    for (uint32_t b : {0xf0u, 0x00u, 0xfcu, 0xfcu, 0xf8u, 0xf8u})
        w.u8(b);
    w.u16(0);   // average frame rate
    w.u8(0x03); // 4-byte length fields
    w.u8(3);
    const std::pair<uint32_t, const std::vector<std::vector<uint8_t>> *> arrays[] = {
        {0xa0, &track.vps}, {0xa1, &track.sps}, {0xa2, &track.pps}};
    for (const auto &[kind, sets] : arrays) {
        w.u8(kind);
        w.u16(static_cast<uint32_t>(sets->size()));
        parameter_sets(w, *sets);
    }
    w.end(at);
}

void stsd(box_writer &w, const track_t &track)
{
    const size_t at = w.begin_full("stsd", 0, 0);
    w.u32(1);
    const bool hevc = track.info.object_type_indication == 0x23;
    // H.265 parameter sets also travel in the samples (a set may change under its id): hev1.
    const size_t entry = w.begin(hevc ? "hev1" : "avc1");
    w.zeros(6);
    w.u16(1); // data reference index
    w.zeros(16);
    w.u16(static_cast<uint32_t>(track.info.width));
    w.u16(static_cast<uint32_t>(track.info.height));
    w.u32(0x00480000); // 72 dpi
    w.u32(0x00480000);
    w.zeros(4);
    w.u16(1); // frame count
    w.zeros(32);
    w.u16(0x0018);
    w.u16(0xffff);
    if (hevc)
        hvcC(w, track);
    else
        avcC(w, track);
    w.end(entry);
    w.end(at);
}

void stts(box_writer &w, const track_t &track)
{
    std::vector<std::pair<uint32_t, uint32_t>> runs; // count, duration
    for (const sample_entry_rec &s : track.samples) {
        if (!runs.empty() && runs.back().second == s.duration)
            ++runs.back().first;
        else
            runs.push_back({1, s.duration});
    }
    const size_t at = w.begin_full("stts", 0, 0);
    w.u32(static_cast<uint32_t>(runs.size()));
    for (const auto &[count, duration] : runs) {
        w.u32(count);
        w.u32(duration);
    }
    w.end(at);
}

void stbl(box_writer &w, const track_t &track)
{
    const size_t at = w.begin("stbl");
    stsd(w, track);
    stts(w, track);

    const size_t stsc = w.begin_full("stsc", 0, 0);
    w.u32(1);
    w.u32(1); // first chunk
    w.u32(1); // samples per chunk: every sample is its own chunk
    w.u32(1); // sample description
    w.end(stsc);

    const size_t stsz = w.begin_full("stsz", 0, 0);
    w.u32(0);
    w.u32(static_cast<uint32_t>(track.samples.size()));
    for (const sample_entry_rec &s : track.samples)
        w.u32(static_cast<uint32_t>(s.size));
    w.end(stsz);

    const bool large = track.samples.back().offset > 0xffffffffu;
    const size_t offsets = w.begin_full(large ? "co64" : "stco", 0, 0);
    w.u32(static_cast<uint32_t>(track.samples.size()));
    for (const sample_entry_rec &s : track.samples) {
        if (large)
            w.u64(s.offset);
        else
            w.u32(static_cast<uint32_t>(s.offset));
    }
    w.end(offsets);

    std::vector<uint32_t> sync;
    for (size_t i = 0; i < track.samples.size(); ++i) {
        if (track.samples[i].flag_random_access)
            sync.push_back(static_cast<uint32_t>(i + 1));
    }
    if (sync.size() != track.samples.size()) {
        const size_t stss = w.begin_full("stss", 0, 0);
        w.u32(static_cast<uint32_t>(sync.size()));
        for (uint32_t number : sync)
            w.u32(number);
        w.end(stss);
    }
    w.end(at);
}

void trak(box_writer &w, const track_t &track, uint32_t track_id)
{
    const size_t at = w.begin("trak");
    tkhd(w, track, track_id);
    const size_t mdia = w.begin("mdia");
    mdhd(w, track);
    hdlr(w);
    const size_t minf = w.begin("minf");
    const size_t vmhd = w.begin_full("vmhd", 0, 1);
    w.zeros(8); // graphics mode and colour
    w.end(vmhd);
    dinf(w);
    stbl(w, track);
    w.end(minf);
    w.end(mdia);
    w.end(at);
}

} // namespace

uint64_t movie_duration(const track_t &track)
{
    const uint64_t sum = media_duration(track);
    return track.info.time_scale >= 2000 ? sum / (track.info.time_scale / 1000) : sum;
}

std::vector<uint8_t> ftyp_box()
{
    box_writer w;
    const size_t at = w.begin("ftyp");
    w.text("mp42", 4);
    w.u32(0);
    w.text("mp42", 4);
    w.text("isom", 4);
    w.end(at);
    return w.take();
}

std::vector<uint8_t> media_data_header(uint64_t d)
{
    box_writer w;
    if (d <= 0xfffffffeu) {
        w.u32(8);
        w.text("free", 4);
        w.u32(static_cast<uint32_t>(d - 8));
        w.text("mdat", 4);
    } else {
        w.u32(1);
        w.text("mdat", 4);
        w.u64(d);
    }
    return w.take();
}

std::vector<uint8_t> moov_box(const std::vector<track_t> &tracks)
{
    box_writer w;
    const size_t at = w.begin("moov");
    mvhd(w, tracks);
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (!tracks[i].samples.empty())
            trak(w, tracks[i], static_cast<uint32_t>(i + 1));
    }
    w.end(at);
    return w.take();
}

} // namespace salvex
