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
const std::string padding(16, '\x55'); // never examined: the last bytes of an image

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
            d.bytes.assign(reinterpret_cast<const char *>(m_buffer.data()), d.frame.len);
        return d;
    }
    std::vector<Delivery> all()
    {
        std::vector<Delivery> out;
        for (Delivery d = next(); d.result == mp4p_frame || d.result == mp4p_frame_oversized;
             d = next())
            out.push_back(d);
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
    EXPECT_EQ(d.frame.next, header.size() + frame.size());
    EXPECT_EQ(scan.scanner().video_counts()[2].frames, 1u);
    EXPECT_EQ(scan.scanner().mp4p_get_mdat_size(), 0u);
}

TEST(Scanner, ChannelsFiveAndUpAreDeliveredButNotCounted)
{
    Scan scan(header + picture(p_start, 7) + padding);
    const Delivery d = scan.next();
    ASSERT_EQ(d.result, mp4p_frame);
    EXPECT_EQ(d.frame.channel, 7u);
    for (const mp4p_counts &counts : scan.scanner().video_counts())
        EXPECT_EQ(counts.frames, 0u);
}

TEST(Scanner, RunOfMoreThan255FillBytesStopsCountingAt255)
{
    const std::string frame =
        key_start + "\x11"s + end_marker + std::string(300, '\xff') + "\x80\0\0\0\1"s;
    Scan scan(header + frame + padding);
    const Delivery d = scan.next();
    ASSERT_EQ(d.result, mp4p_frame);
    EXPECT_EQ(d.frame.channel, 255u);
    EXPECT_EQ(d.frame.next, header.size() + 6 + 5 + 255 + 5);
    // The rest of the run is unrecognised bytes: an audio frame, and the scan still ends.
    const auto rest = scan.all();
    EXPECT_LE(rest.size(), 1u);
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

TEST(Scanner, NegativeOrOverlongMetadataLengthIsNoRecordAndTheScanMovesOn)
{
    for (const std::string &bad : {"SHO00-12xyz"s, "GPS00999short"s, "\0\0DAT00 -5abc"s}) {
        Scan scan(header + picture(key_start, 0) + bad + picture(p_start, 0) + padding);
        const auto frames = scan.all();
        ASSERT_GE(frames.size(), 3u) << bad;
        // The tag's bytes are unrecognised bytes: they arrive as sound, up to the next picture.
        std::string between;
        for (size_t i = 1; i + 1 < frames.size(); ++i) {
            EXPECT_EQ(frames[i].frame.type, frame_audio);
            between += frames[i].bytes;
        }
        EXPECT_EQ(between, bad);
        EXPECT_EQ(frames.back().frame.type, frame_video);
        EXPECT_EQ(scan.scanner().metadata_counts().frames, 0u);
    }
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

TEST(Scanner, FirstAudioFrameWithAnMp3HeaderGetsTheInfoTemplate)
{
    const std::string sound = "\xff\xe3\x28\xc4"s + std::string(140, '\x5a');
    Scan scan(header + picture(key_start, 0) + sound + picture(p_start, 0) + sound +
              picture(p_start, 0) + padding);
    const auto frames = scan.all();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[1].bytes.substr(0, 20),
              "\xff\xe3\x28\xc4"s + std::string(9, '\0') + "Info\0\0\0"s);
    EXPECT_EQ(frames[1].bytes.substr(20), sound.substr(20));
    EXPECT_EQ(frames[3].bytes, sound) << "only the first audio frame is patched";
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

TEST(Scanner, PictureLengthIsCutAtThreeZerosAfterSeventyPercent)
{
    const std::string frame = picture(key_start, 1, std::string(40, '\x11'));
    const auto *data = reinterpret_cast<const uint8_t *>(frame.data());
    EXPECT_EQ(mp4p_get_data_size(data, frame.size()), 45u) << "cut at the end marker";
    const std::string small = picture(key_start, 1);
    EXPECT_EQ(mp4p_get_data_size(reinterpret_cast<const uint8_t *>(small.data()), small.size()),
              16u)
        << "a marker before 70 % is missed: the cut falls at the counter";
    const std::string early = "\0\0\0\1\x41"s + std::string(20, '\x11');
    EXPECT_EQ(mp4p_get_data_size(reinterpret_cast<const uint8_t *>(early.data()), early.size()),
              early.size())
        << "zeros before 70 % do not cut";
    EXPECT_EQ(mp4p_get_data_size(data, 2), 2u);
}
