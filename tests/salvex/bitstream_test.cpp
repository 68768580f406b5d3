#include "bitstream.h"
#include "nalunits.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace salvex;
using bytes = std::vector<uint8_t>;

namespace {
std::optional<bytes> unescape(const bytes &in)
{
    bytes out(in.size());
    const auto size = remove_emulation_prevention(in.data(), in.size(), out.data());
    if (!size)
        return std::nullopt;
    out.resize(*size);
    return out;
}

bytes escape(const bytes &in)
{
    bytes out(escaped_capacity(in.size()));
    out.resize(insert_emulation_prevention(in.data(), in.size(), out.data()));
    return out;
}
} // namespace

TEST(NalUnits, EmulationPreventionRemovedOnlyBeforeSmallBytes)
{
    const bytes kept{0x41, 0, 0, 3, 4, 7};
    EXPECT_EQ(unescape(kept), kept);
    const bytes dropped{0x41, 0, 0, 3, 1, 0, 0, 3, 0, 5, 0, 0, 3, 3};
    EXPECT_EQ(unescape(dropped), (bytes{0x41, 0, 0, 1, 0, 0, 0, 5, 0, 0, 3}))
        << "the count restarts after a dropped escape";
    EXPECT_FALSE(unescape(bytes{0x41, 0, 0, 3, 0, 0, 0, 5}))
        << "two zeros after a dropped escape and then a third";
    const bytes last{0x41, 0, 0, 3};
    EXPECT_EQ(unescape(last), last);
    for (const bytes &bad : {bytes{0x41, 0, 0, 0}, bytes{0x41, 0, 0, 2, 5}, bytes{}})
        EXPECT_FALSE(unescape(bad));
}

TEST(NalUnits, EmulationPreventionInsertedAfterEveryZeroPair)
{
    const bytes raw{0x41, 0, 0, 1, 0, 0, 0, 0, 0, 4, 0, 0};
    const bytes escaped = escape(raw);
    EXPECT_EQ(escaped, (bytes{0x41, 0, 0, 3, 1, 0, 0, 3, 0, 0, 3, 0, 4, 0, 0}));
    EXPECT_EQ(unescape(escaped), raw);
}

TEST(NalUnits, CanonicalEscapingIsExactlyWhatSurvivesTheRoundTrip)
{
    // Units dense with zeros and small bytes: every verdict must match unescape-then-escape.
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        bytes unit{0x41};
        const size_t length = 1 + random() % 24;
        while (unit.size() < length)
            unit.push_back(static_cast<uint8_t>("\0\0\0\1\2\3\3\4\x41"[random() % 9]));
        const auto unescaped = unescape(unit);
        const escaping verdict = check_emulation_prevention(unit.data(), unit.size());
        if (!unescaped) {
            EXPECT_EQ(verdict, escaping::malformed);
            continue;
        }
        EXPECT_EQ(verdict == escaping::canonical, escape(*unescaped) == unit);
        EXPECT_NE(verdict, escaping::malformed);
    }
}

TEST(BitStream, ExpGolombRoundTripsAndRefusesLongCodes)
{
    bs_t writer;
    for (uint32_t v : {0u, 1u, 2u, 31u, 255u, 65535u})
        writer.put_ue(v);
    writer.pad_to_byte();
    bit_reader_t reader(writer.bytes().data(), writer.bytes().size());
    for (uint32_t v : {0u, 1u, 2u, 31u, 255u, 65535u})
        EXPECT_EQ(reader.read_ue(), v);

    const bytes seventeen_zeros{0, 0, 0x40, 0};
    bit_reader_t long_code(seventeen_zeros.data(), seventeen_zeros.size());
    EXPECT_FALSE(long_code.read_ue().has_value());
    const bytes cut{0x00, 0x01};
    bit_reader_t short_code(cut.data(), cut.size());
    EXPECT_FALSE(short_code.read_ue().has_value()) << "15 zeros, a one, and no suffix bits left";
}

TEST(BitStream, CopyKeepsTheStopBitAndDropsTheZerosAfterIt)
{
    // Reader three bits in (101), so the copy is not byte-aligned with a fresh writer.
    const bytes data{0xbf, 0x12, 0x34, 0x80};
    bit_reader_t reader(data.data(), data.size());
    reader.read_bits(3);
    bs_t writer;
    writer.put_bits(1, 1);
    copy_bits(reader, writer);
    // 1 + bits 3..24 of the input (11111 00010010 00110100) + the stop bit, padded: the seven
    // zeros after the stop bit must not spill into a zero byte at the end.
    EXPECT_EQ(writer.bytes(), (bytes{0xfc, 0x48, 0xd2}));

    bit_reader_t zeros_only(data.data() + 3, 1);
    zeros_only.read_bits(1);
    bs_t nothing;
    copy_bits(zeros_only, nothing);
    EXPECT_TRUE(nothing.bytes().empty());

    bit_reader_t aligned_reader(data.data(), data.size());
    bs_t aligned_writer;
    copy_bits(aligned_reader, aligned_writer);
    EXPECT_EQ(aligned_writer.bytes(), data);
}
