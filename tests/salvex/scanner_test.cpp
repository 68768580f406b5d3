#include "scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace salvex;
using namespace std::string_literals;

namespace {

const std::string key_start = "\0\0\0\1\x67"s;
const std::string p_start = "\0\0\0\1\x41"s;
const std::string end_marker = "\0\0\0\1\x0c"s;
const std::string header = "\0\0\0\x18"
                           "ftypisom\0\0\2\0isomavc1"s +
                           "\0\0\0\0mdat"s;
// The last bytes of an image are never examined for markers: they end its last sound run.
const std::string padding(16, '\x55');

std::string picture(const std::string &start, int channel,
                    const std::string &body = "\x11\x22\x33\x44"s)
{
    return start + body + end_marker + std::string(static_cast<size_t>(channel), '\xff') +
           "\x80\0\0\0\7"s;
}

struct Delivery
{
    int result;
    mp4p_frame_t frame;
    std::string bytes;
};

class Scan
{
public:
    explicit Scan(std::string image, uint64_t eidx = ~uint64_t{0}) : m_image(std::move(image))
    {
        mp4p_parm_t parm;
        parm.image = reinterpret_cast<const uint8_t *>(m_image.data());
        parm.size = m_image.size();
        m_scanner.mp4p_init(parm);
        m_scanner.mp4p_set_eidx(eidx == ~uint64_t{0} ? m_image.size() : eidx);
    }
    Delivery next()
    {
        Delivery d;
        d.result = m_scanner.mp4p_read_frame(m_buffer.data(), m_buffer.size(), &d.frame);
        if (d.result == mp4p_frame || d.result == mp4p_frame_oversized)
            d.bytes.assign(reinterpret_cast<const char *>(d.frame.data), d.frame.len);
        return d;
    }
    // Every delivery but the padding's own sound run at the end.
    std::vector<Delivery> all()
    {
        std::vector<Delivery> out;
        for (Delivery d = next(); d.result == mp4p_frame || d.result == mp4p_frame_oversized;
             d = next())
            out.push_back(d);
        if (!out.empty() && out.back().frame.type == frame_audio && out.back().bytes == padding)
            out.pop_back();
        return out;
    }
    mp4p_scanner &scanner() { return m_scanner; }

private:
    std::string m_image;
    mp4p_scanner m_scanner;
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(0x80000);
};

} // namespace

TEST(Scanner, EndMarkerRunNumbersTheChannel)
{
    const std::string frame = picture(key_start, 2);
    Scan scan(header + frame + padding);
    const Delivery d = scan.next();
    ASSERT_EQ(d.result, mp4p_frame);
    EXPECT_EQ(d.frame.type, frame_video);
    EXPECT_EQ(d.frame.channel, 2u);
    EXPECT_EQ(d.bytes, frame);
    EXPECT_EQ(d.frame.len, 4 + 5 + 12u) << "12 bytes longer than start to marker";
    EXPECT_EQ(d.frame.picture_len, 4 + 5u) << "the picture ends where the marker begins";
    EXPECT_EQ(d.frame.next, header.size() + frame.size());
    EXPECT_EQ(scan.scanner().video_counts()[2].frames, 1u);
    EXPECT_EQ(scan.scanner().mp4p_get_mdat_size(), 0u);
}

TEST(Scanner, FillerUnitsOfMoreThanFourBytesAreInsideThePicture)
{
    // An encoder's own filler data (x264 with a constant bit rate writes it) is no end marker
    // when its run is longer than the dashcam's channel numbers, however long.
    for (const size_t run : {5u, 30u, 300u}) {
        const std::string body =
            "\x11"s + end_marker + std::string(run, '\xff') + "\x80"s + "\0\0\0\1\x65\x22"s;
        const std::string frame = picture(key_start, 3, body);
        Scan scan(header + frame + padding);
        const Delivery d = scan.next();
        ASSERT_EQ(d.result, mp4p_frame) << run;
        EXPECT_EQ(d.frame.channel, 3u);
        EXPECT_EQ(d.bytes, frame);
    }
}

TEST(Scanner, ASoundRunAtTheEndOfTheImageIsDelivered)
{
    // A recording cut off after its sound: the run goes to the last byte, and the scan ends.
    const std::string sound(300, '\x22');
    Scan scan(header + picture(key_start, 0) + sound);
    EXPECT_EQ(scan.next().frame.type, frame_video);
    const Delivery d = scan.next();
    ASSERT_EQ(d.result, mp4p_frame);
    EXPECT_EQ(d.frame.type, frame_audio);
    EXPECT_EQ(d.bytes, sound);
    EXPECT_EQ(scan.next().result, mp4p_end);
    // Up to an end index before the end of the image, it is not.
    const std::string image = header + picture(key_start, 0) + sound + padding;
    Scan bounded(image, image.size() - 100);
    bounded.next();
    EXPECT_EQ(bounded.next().result, mp4p_end_index);
}

TEST(Scanner, BackToBackPicturesHaveNoAudioBetween)
{
    Scan scan(header + picture(key_start, 0) + picture(p_start, 1) + picture(p_start, 0) + padding);
    const auto frames = scan.all();
    ASSERT_EQ(frames.size(), 3u);
    for (const Delivery &d : frames)
        EXPECT_EQ(d.frame.type, frame_video);
    EXPECT_EQ(frames[1].frame.channel, 1u);
}

TEST(Scanner, MetadataRecordIsSteppedOverByItsLength)
{
    const std::string payload(123, 'p');
    const std::string image =
        header + picture(key_start, 0) + "DAT00123"s + payload + picture(p_start, 0) + padding;
    Scan scan(image);
    scan.next();
    const Delivery meta = scan.next();
    ASSERT_EQ(meta.result, mp4p_frame);
    EXPECT_EQ(meta.frame.type, frame_metadata);
    EXPECT_EQ(meta.frame.len, 131u) << "the payload and the 8 bytes after it";
    EXPECT_EQ(meta.bytes.substr(0, 123), payload);
    const uint64_t payload_start = header.size() + picture(key_start, 0).size() + 8;
    EXPECT_EQ(meta.frame.next, payload_start + 123);

    Scan zero_form(header + picture(key_start, 0) + "\0\0DAT00123"s + payload +
                   picture(p_start, 0) + padding);
    zero_form.next();
    EXPECT_EQ(zero_form.next().frame.next, payload_start + 2 + 123);
    EXPECT_EQ(zero_form.next().frame.type, frame_video);
}

TEST(Scanner, OversizedRecordsAreFlagged)
{
    Scan meta(header + picture(key_start, 0) + "GPS00300"s + std::string(300, 'g') + padding);
    meta.next();
    EXPECT_EQ(meta.next().result, mp4p_frame_oversized);

    for (const size_t run : {1000u, 1001u}) {
        Scan audio(header + picture(key_start, 0) + std::string(run, '\x22') + picture(p_start, 0) +
                   padding);
        audio.next();
        const Delivery d = audio.next();
        EXPECT_EQ(d.frame.type, frame_audio);
        EXPECT_EQ(d.frame.len, run);
        EXPECT_EQ(d.result, run > 1000 ? mp4p_frame_oversized : mp4p_frame);
    }
}

TEST(Scanner, AMetadataLengthIsItsThreeDigitsNothingMore)
{
    // A G-sensor payload that begins with digits: the length is "012", not "012123456789".
    const std::string record = "SHO00012"s + "123456789012"s;
    Scan scan(header + picture(key_start, 0) + record + picture(p_start, 1) + padding);
    const auto frames = scan.all();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].frame.type, frame_metadata);
    EXPECT_EQ(frames[1].bytes.substr(0, 12), "123456789012");
    EXPECT_EQ(frames[2].frame.type, frame_video);
    EXPECT_EQ(frames[2].frame.channel, 1u);
}

TEST(Scanner, MetadataWithoutDigitsOrThatDoesNotFitIsNoRecordAndTheScanMovesOn)
{
    const struct
    {
        std::string bad;
        std::string sound; // what is left of it as unrecognised bytes
    } cases[] = {{"SHO00-12xyz"s, "SHO00-12xyz"s},
                 {"\0\0DAT00 -5abc"s, "\0\0DAT00 -5abc"s},
                 {"GPS00999short"s, "999short"s}}; // does not fit: skipped after its tag
    for (const auto &c : cases) {
        Scan scan(header + picture(key_start, 0) + c.bad + picture(p_start, 0));
        const auto frames = scan.all();
        ASSERT_GE(frames.size(), 2u) << c.bad;
        std::string between;
        for (size_t i = 1; i < frames.size() && frames[i].frame.type == frame_audio; ++i)
            between += frames[i].bytes;
        EXPECT_EQ(between, c.sound);
        EXPECT_EQ(scan.scanner().metadata_counts().frames, 0u);
    }
}

TEST(Scanner, PicturesBeginAtAnyUnitAnAccessUnitCanBeginWith)
{
    // H.264 whatever its nal_ref_idc: SPS, IDR, non-IDR slice, SEI, delimiter; H.265 with its
    // two-byte header: VPS, SPS, IDR, CRA, trailing picture, RASL, delimiter, SEI.
    for (const std::string &head :
         {"\x67"s,     "\x27"s,     "\x07"s,     "\x65"s,     "\x25"s,     "\x41"s,     "\x21"s,
          "\x01"s,     "\x06"s,     "\x09"s,     "\x40\x01"s, "\x42\x01"s, "\x26\x01"s, "\x28\x01"s,
          "\x2a\x01"s, "\x02\x01"s, "\x00\x01"s, "\x12\x02"s, "\x46\x01"s, "\x4e\x01"s}) {
        Scan scan(header + picture(p_start, 0) + picture("\0\0\0\1"s + head, 3) + padding);
        const auto frames = scan.all();
        ASSERT_EQ(frames.size(), 2u) << int(static_cast<unsigned char>(head[0]));
        EXPECT_EQ(frames[1].frame.type, frame_video);
        EXPECT_EQ(frames[1].frame.channel, 3u);
    }
    // A PPS, H.264 units of other types and H.265 units of layers above 0 begin no picture.
    for (const std::string &head : {"\x68"s, "\x0b"s, "\x0d"s, "\x03\x01"s}) {
        Scan scan(header + picture(p_start, 0) + "\0\0\0\1"s + head + "\x77\x77"s +
                  picture(p_start, 1) + padding);
        const auto frames = scan.all();
        ASSERT_EQ(frames.size(), 3u) << int(static_cast<unsigned char>(head[0]));
        EXPECT_EQ(frames[1].frame.type, frame_audio);
    }
}

TEST(Scanner, AnH265UnitOfType6InsideAPictureIsNoEndMarker)
{
    // 00 00 00 01 0C 01: a RADL_N slice of the picture, not the filler unit that ends it.
    const std::string body = "\x11\x22"s + "\0\0\0\1\x0c\x01\x33\x44"s;
    const std::string frame = picture("\0\0\0\1\x26\x01"s, 2, body);
    Scan scan(header + frame + padding);
    const Delivery d = scan.next();
    ASSERT_EQ(d.result, mp4p_frame);
    EXPECT_EQ(d.bytes, frame);
    EXPECT_EQ(d.frame.channel, 2u);
}

TEST(Scanner, ImageEndingInsidePictureDeliversNothingForIt)
{
    Scan scan(header + picture(key_start, 0) + key_start + std::string(40, '\x33'));
    EXPECT_EQ(scan.next().result, mp4p_frame);
    EXPECT_EQ(scan.next().result, mp4p_end);
    EXPECT_EQ(scan.next().result, mp4p_end);
}

TEST(Scanner, EndIndexStopsBeforeTheEndOfTheImage)
{
    const std::string image = header + std::string(100, '\x22') + padding;
    Scan scan(image, 60);
    const Delivery d = scan.next();
    EXPECT_EQ(d.result, mp4p_end_index);
    EXPECT_EQ(scan.next().result, mp4p_end_index) << "the position does not move";
}

TEST(Scanner, MoovEndsTheScanAndDropsPendingAudio)
{
    Scan scan(header + picture(key_start, 0) + "\x22\x22moov"s + picture(p_start, 0) + padding);
    EXPECT_EQ(scan.next().result, mp4p_frame);
    EXPECT_EQ(scan.next().result, mp4p_end);
    EXPECT_EQ(scan.next().result, mp4p_end);
}

TEST(Scanner, MdatRecordsItsSizeAndBytesBeforeAreNeverDelivered)
{
    const std::string image =
        "leading box bytes"s + "\0\0\x12\x34mdat"s + picture(key_start, 0) + padding;
    Scan scan(image);
    const auto frames = scan.all();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].frame.type, frame_video);
    EXPECT_EQ(scan.scanner().mp4p_get_mdat_size(), 0x1234u);
}

TEST(Scanner, SoundRunsAreDeliveredAsTheyStand)
{
    const std::string sound = "\xff\xe3\x28\xc4"s + std::string(140, '\x5a');
    Scan scan(header + picture(key_start, 0) + sound + picture(p_start, 0) + padding);
    const auto frames = scan.all();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].frame.type, frame_audio);
    EXPECT_EQ(frames[1].bytes, sound);
}

TEST(Scanner, TinyOrUninitialisedScannersDeliverNothing)
{
    mp4p_scanner fresh;
    std::vector<uint8_t> buffer(16);
    mp4p_frame_t frame;
    EXPECT_EQ(fresh.mp4p_read_frame(buffer.data(), buffer.size(), &frame), mp4p_not_initialised);
    Scan tiny("12345678");
    EXPECT_EQ(tiny.next().result, mp4p_end);
    Scan empty("");
    EXPECT_EQ(empty.next().result, mp4p_end);
}

TEST(Scanner, PicturesOfAnySizeAreHandedOverWholeWhereTheyStand)
{
    // Three zero bytes late in a picture (a further slice's start code) and a picture far over
    // any buffer: the picture runs to its end marker, and is not copied.
    const std::string slices = std::string(60, '\x11') + "\0\0\0\1\x01\x22"s;
    const std::string large(3 << 20, '\x5a');
    const std::string image =
        header + picture(p_start, 0, slices) + picture(key_start, 1, large) + padding;
    Scan scan(image);
    const Delivery first = scan.next();
    EXPECT_EQ(first.frame.picture_len, p_start.size() + slices.size());
    const Delivery second = scan.next();
    EXPECT_EQ(second.frame.picture_len, key_start.size() + large.size());
    EXPECT_EQ(
        std::string(reinterpret_cast<const char *>(second.frame.data), second.frame.picture_len),
        key_start + large);
}
