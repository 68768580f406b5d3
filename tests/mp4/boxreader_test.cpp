// Box headers in each size form, walks through damaged boxes, and the same walk over a file read
// piece by piece.
#include "mp4testbytes.h"

#include "mp4/boxreader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace mp4;
using namespace mp4::test;

namespace {

// A reader over `data` that fails the test if it is ever asked for a byte outside the data.
box_reader watched(const bytes &data)
{
    return box_reader(data.size(), [&data](std::uint64_t at, std::span<std::uint8_t> into) {
        EXPECT_LE(at + into.size(), data.size()) << "asked for bytes past the end";
        EXPECT_FALSE(into.empty());
        if (at + into.size() > data.size())
            return std::size_t{0};
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), into.size(), into.begin());
        return into.size();
    });
}

std::vector<std::string> types(const std::vector<box> &boxes)
{
    std::vector<std::string> out;
    for (const box &b : boxes)
        out.push_back(b.type);
    return out;
}

} // namespace

TEST(BoxReader, EverySizeFormReadsBackWhereItWasWritten)
{
    const bytes ftyp = box_bytes("ftyp", text("isom") + be(0, 4));
    const bytes mdat = large_box_bytes("mdat", bytes(40, 0xaa));
    const bytes free = box_bytes("free", {});
    const bytes tail =
        be(0, 4) + text("moov") + box_bytes("mvhd", full(0) + bytes(96, 0)) + bytes(5, 7);
    const bytes file = ftyp + mdat + free + tail;
    const box_reader reader = watched(file);

    const std::vector<box> top = reader.children();
    ASSERT_EQ(types(top), (std::vector<std::string>{"ftyp", "mdat", "free", "moov"}));
    EXPECT_EQ(top[0].offset, 0u);
    EXPECT_EQ(top[0].header_size, 8u);
    EXPECT_EQ(top[0].size, ftyp.size());
    EXPECT_EQ(reader.body(top[0]), text("isom") + be(0, 4));

    EXPECT_EQ(top[1].offset, ftyp.size());
    EXPECT_EQ(top[1].header_size, 16u) << "a size of 1: the 64-bit size follows the type";
    EXPECT_EQ(top[1].size, 56u);
    EXPECT_EQ(top[1].body_offset(), ftyp.size() + 16);
    EXPECT_EQ(reader.body(top[1]), bytes(40, 0xaa));

    EXPECT_EQ(top[2].size, 8u);
    EXPECT_TRUE(reader.body(top[2]).empty());

    EXPECT_EQ(top[3].size, tail.size()) << "a size of 0 reaches to the end of the file";
    EXPECT_EQ(top[3].end(), file.size());
    const std::optional<box> mvhd = reader.child("mvhd", top[3]);
    ASSERT_TRUE(mvhd);
    EXPECT_EQ(mvhd->offset, top[3].body_offset());
    EXPECT_EQ(mvhd->size, 108u);
    EXPECT_EQ(reader.body(*mvhd, 4), full(0)) << "no more than asked for";

    // A size of 0 inside a box reaches to the end of that box, not of the file.
    const bytes nested =
        box_bytes("moov", be(0, 4) + text("trak") + bytes(12, 1)) + box_bytes("free", {});
    const box_reader inner = watched(nested);
    const std::optional<box> trak = inner.find("moov/trak");
    ASSERT_TRUE(trak);
    EXPECT_EQ(trak->end(), nested.size() - 8);
    EXPECT_EQ(types(inner.children()), (std::vector<std::string>{"moov", "free"}));
}

TEST(BoxReader, DamagedBoxEndsTheWalkAndNothingOutsideIsRead)
{
    const bytes good = box_bytes("ftyp", text("isom"));
    struct Case
    {
        const char *what;
        bytes damaged;
    };
    const Case cases[] = {
        {"size smaller than its header", be(7, 4) + text("moov") + bytes(16, 0)},
        {"size past the end", be(1000, 4) + text("moov") + bytes(16, 0)},
        {"64-bit size cut off", be(1, 4) + text("mdat") + be(0, 4)},
        {"64-bit size smaller than its header", be(1, 4) + text("mdat") + be(15, 8) + bytes(8, 0)},
        {"64-bit size past the end", be(1, 4) + text("mdat") + be(1u << 20, 8) + bytes(8, 0)},
        {"64-bit size beyond any file", be(1, 4) + text("mdat") + be(~0ull, 8) + bytes(8, 0)},
    };
    for (const Case &c : cases) {
        // Boxes after the damaged one are not to be found.
        const bytes file = good + c.damaged + box_bytes("moov", {});
        const box_reader reader = watched(file);
        EXPECT_EQ(types(reader.children()), std::vector<std::string>{"ftyp"}) << c.what;
        EXPECT_FALSE(reader.child("moov")) << c.what;
        EXPECT_FALSE(reader.box_at(good.size(), file.size())) << c.what;
        // The same damage inside a box: its parent stays whole.
        const bytes parent = box_bytes("moov", good + c.damaged);
        const box_reader outer = watched(parent);
        const std::optional<box> moov = outer.child("moov");
        ASSERT_TRUE(moov) << c.what;
        EXPECT_EQ(types(outer.children(*moov)), std::vector<std::string>{"ftyp"}) << c.what;
    }

    // A box inside another may not reach past it, though the file goes on.
    const bytes escaping = box_bytes("moov", be(40, 4) + text("trak") + bytes(8, 0)) + bytes(64, 0);
    const box_reader reader = watched(escaping);
    const std::optional<box> moov = reader.child("moov");
    ASSERT_TRUE(moov);
    EXPECT_TRUE(reader.children(*moov).empty());
    EXPECT_FALSE(reader.find("moov/trak"));

    // Fewer than 8 bytes left over after the last box are no box.
    const bytes trailing = good + bytes{0, 0, 0, 8, 'f'};
    EXPECT_EQ(types(watched(trailing).children()), std::vector<std::string>{"ftyp"});
    EXPECT_TRUE(watched(bytes{}).children().empty());
}

TEST(BoxReader, NestingAlwaysShrinksSoNoWalkLoops)
{
    // Zeros only: every box claims to reach to the end of its parent, so each holds one box 8
    // bytes smaller, down to an empty one.
    const bytes zeros(64, 0);
    const box_reader reader = watched(zeros);
    std::optional<box> at = reader.child(std::string_view("\0\0\0\0", 4));
    int depth = 0;
    std::uint64_t size = zeros.size() + 8;
    while (at) {
        EXPECT_EQ(at->size, size - 8);
        size = at->size;
        ++depth;
        at = reader.child(std::string_view("\0\0\0\0", 4), *at);
    }
    EXPECT_EQ(depth, 8);

    // A child that claims its parent's whole size does not fit its parent's contents.
    const bytes same = be(24, 4) + text("moov") + be(24, 4) + text("moov") + bytes(8, 0);
    const box_reader self = watched(same);
    ASSERT_TRUE(self.child("moov"));
    EXPECT_FALSE(self.find("moov/moov"));
}

TEST(BoxReader, PathsTakeTheFirstBoxOfEachType)
{
    const bytes first = box_bytes("trak", box_bytes("tkhd", be(1, 4)) +
                                              box_bytes("mdia", box_bytes("mdhd", be(2, 4))));
    const bytes second = box_bytes("trak", box_bytes("mdia", box_bytes("mdhd", be(3, 4))));
    const bytes file = box_bytes("moov", box_bytes("mvhd", {}) + first + second);
    const box_reader reader = watched(file);

    const std::optional<box> mdhd = reader.find("moov/trak/mdia/mdhd");
    ASSERT_TRUE(mdhd);
    EXPECT_EQ(reader.body(*mdhd), be(2, 4));
    const std::vector<box> traks = reader.children(*reader.child("moov"));
    ASSERT_EQ(traks.size(), 3u);
    const std::optional<box> later = reader.find("mdia/mdhd", traks[2]);
    ASSERT_TRUE(later);
    EXPECT_EQ(reader.body(*later), be(3, 4));
    EXPECT_FALSE(reader.find("tkhd", traks[2])) << "not taken from the track before";
    EXPECT_FALSE(reader.find("moov/trak/minf"));
    EXPECT_FALSE(reader.find("moov//trak"));
}

TEST(BoxReader, FileReadPieceByPieceGivesTheBoxesOfTheBytes)
{
    const bytes data =
        box_bytes("ftyp", text("isom")) + large_box_bytes("mdat", bytes(3000, 0x11)) +
        box_bytes("moov", box_bytes("mvhd", full(0) + bytes(96, 0)) +
                              box_bytes("trak", box_bytes("tkhd", full(0) + bytes(80, 0))));
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), file), data.size());
    ASSERT_EQ(std::fflush(file), 0);
    std::uint64_t largest = 0;
    const box_reader on_disk(data.size(), [&](std::uint64_t at, std::span<std::uint8_t> into) {
        largest = std::max<std::uint64_t>(largest, into.size());
        if (fseeko(file, static_cast<off_t>(at), SEEK_SET) != 0)
            return std::size_t{0};
        return std::fread(into.data(), 1, into.size(), file);
    });
    const box_reader in_memory(data);

    const auto same = [](const std::vector<box> &a, const std::vector<box> &b) {
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].type, b[i].type);
            EXPECT_EQ(a[i].offset, b[i].offset);
            EXPECT_EQ(a[i].header_size, b[i].header_size);
            EXPECT_EQ(a[i].size, b[i].size);
        }
    };
    same(on_disk.children(), in_memory.children());
    const std::optional<box> moov = on_disk.child("moov");
    ASSERT_TRUE(moov);
    same(on_disk.children(*moov), in_memory.children(*in_memory.child("moov")));
    const std::optional<box> tkhd = on_disk.find("moov/trak/tkhd");
    ASSERT_TRUE(tkhd);
    EXPECT_EQ(on_disk.body(*tkhd), in_memory.body(*tkhd));
    EXPECT_LE(largest, 84u) << "the media data is stepped over, not read";

    std::fclose(file);
}

TEST(BoxReader, BigEndianNumbersOnlyFromBytesThatAreThere)
{
    const bytes data{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0, 0x01};
    EXPECT_EQ(big_endian(data, 0, 4), 0x12345678u);
    EXPECT_EQ(big_endian(data, 1, 8), 0x3456789abcdef001u);
    EXPECT_EQ(big_endian(data, 8, 1), 1u);
    EXPECT_FALSE(big_endian(data, 2, 8));
    EXPECT_FALSE(big_endian(data, 9, 1));
    EXPECT_FALSE(big_endian(data, SIZE_MAX, 2)) << "no wrap-around";
    EXPECT_FALSE(big_endian(data, 0, 9));
    EXPECT_FALSE(big_endian(data, 0, 0));
}
