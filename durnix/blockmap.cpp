#include "blockmap.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_set>

namespace durnix {

namespace {

uint16_t le16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t le32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint16_t extent_magic = 0xf30a;
constexpr unsigned max_extent_depth = 5; // the most the kernel builds
constexpr size_t extent_entry_size = 12; // header, index and leaf entries alike
constexpr uint32_t unwritten_flag_length = 32768;
constexpr int direct_blocks = 12;

std::runtime_error damaged(const std::string &what)
{
    return std::runtime_error("the file's block map is damaged: " + what);
}

class map_walk
{
public:
    map_walk(ext2_filsys fs, ext2_ino_t ino, const ext2_inode &inode, bool salvage)
        : m_fs(fs), m_ino(ino), m_salvage(salvage)
    {
        const uint64_t blocks = ext2fs_blocks_count(fs->super);
        const uint64_t sectors = ext2fs_get_stat_i_blocks(fs, const_cast<ext2_inode *>(&inode));
        const uint64_t sectors_per_block = fs->blocksize / 512;
        m_budget = std::min(blocks, (sectors + sectors_per_block - 1) / sectors_per_block);
    }

    std::vector<block_run> runs;
    std::vector<lost_run> lost;

    void walk_extents(const ext2_inode &inode)
    {
        walk_extent_node(reinterpret_cast<const unsigned char *>(inode.i_block),
                         sizeof inode.i_block, -1, UINT64_MAX);
        for (size_t i = 1; i < runs.size(); ++i) {
            if (runs[i].logical < runs[i - 1].logical + runs[i - 1].count)
                throw damaged("extents overlap or are out of order");
        }
    }

    void walk_indirect(const ext2_inode &inode)
    {
        const uint64_t per_block = m_fs->blocksize / 4;
        for (int i = 0; i < direct_blocks; ++i)
            add_block(static_cast<uint64_t>(i), inode.i_block[i]);
        uint64_t first = direct_blocks;
        uint64_t span = per_block;
        for (int level = 1; level <= 3; ++level) {
            walk_indirect_block(inode.i_block[direct_blocks + level - 1], level, first);
            first += span;
            span *= per_block;
        }
    }

private:
    // Every block the map names counts against what the inode says the file holds.
    void spend(uint64_t blocks)
    {
        if (blocks > m_budget)
            throw damaged("it names more blocks than the file has");
        m_budget -= blocks;
    }

    void check_inside(uint64_t first, uint64_t count) const
    {
        const uint64_t end = ext2fs_blocks_count(m_fs->super);
        if (first <= m_fs->super->s_first_data_block || first >= end || count > end - first)
            throw damaged("a block lies outside the file system");
    }

    std::vector<unsigned char> read_map_block(uint64_t block)
    {
        check_inside(block, 1);
        if (!m_visited.insert(block).second)
            throw damaged("a map block is used twice");
        spend(1);
        std::vector<unsigned char> bytes(m_fs->blocksize);
        const errcode_t error = io_channel_read_blk64(m_fs->io, block, 1, bytes.data());
        if (error)
            throw std::runtime_error(std::string("cannot read the file's block map: ") +
                                     error_message(error));
        return bytes;
    }

    // A part of the map that maps file blocks [first, end): when salvaging, damage in it costs
    // those blocks only.
    template <typename Walk> void salvaging(uint64_t first, uint64_t end, const Walk &walk)
    {
        if (!m_salvage) {
            walk();
            return;
        }
        const size_t runs_before = runs.size();
        const size_t lost_before = lost.size();
        try {
            walk();
        } catch (const std::runtime_error &error) {
            runs.resize(runs_before);
            lost.resize(lost_before);
            lost.push_back({first, end - first, error.what()});
        }
    }

    // `depth` is the depth the parent index promised, -1 for the root in the inode; the node
    // maps file blocks below `end`.
    void walk_extent_node(const unsigned char *node, size_t size, int depth, uint64_t end)
    {
        const uint16_t magic = le16(node);
        const uint16_t entries = le16(node + 2);
        const uint16_t capacity = le16(node + 4);
        const uint16_t node_depth = le16(node + 6);
        if (magic != extent_magic || entries > capacity ||
            extent_entry_size * (capacity + 1u) > size)
            throw damaged("a node of the extent tree is not one");
        if ((depth < 0 && node_depth > max_extent_depth) ||
            (depth >= 0 && node_depth != static_cast<unsigned>(depth)))
            throw damaged("the extent tree's depth is wrong");

        const unsigned char *entry = node + extent_entry_size;
        uint64_t previous_start = 0;
        for (uint16_t i = 0; i < entries; ++i, entry += extent_entry_size) {
            const uint64_t logical = le32(entry);
            if (i > 0 && logical <= previous_start)
                throw damaged("extents out of order");
            previous_start = logical;
            if (node_depth > 0) {
                const uint64_t child = le32(entry + 4) | static_cast<uint64_t>(le16(entry + 8))
                                                             << 32;
                // The child maps up to where the next index entry begins.
                const uint64_t child_end = i + 1 < entries ? le32(entry + extent_entry_size) : end;
                salvaging(logical, std::max(logical + 1, child_end), [&] {
                    const std::vector<unsigned char> bytes = read_map_block(child);
                    if (ext2fs_has_feature_metadata_csum(m_fs->super) &&
                        !ext2fs_extent_block_csum_verify(
                            m_fs, m_ino,
                            reinterpret_cast<ext3_extent_header *>(
                                const_cast<unsigned char *>(bytes.data()))))
                        throw damaged("a block of the extent tree fails its checksum");
                    walk_extent_node(bytes.data(), bytes.size(), node_depth - 1, child_end);
                });
                continue;
            }
            const uint32_t length_field = le16(entry + 4);
            const bool unwritten = length_field > unwritten_flag_length;
            const uint64_t count = unwritten ? length_field - unwritten_flag_length : length_field;
            const uint64_t physical =
                static_cast<uint64_t>(le16(entry + 6)) << 32 | le32(entry + 8);
            if (count == 0)
                throw damaged("an extent of no blocks");
            salvaging(logical, logical + count, [&] {
                check_inside(physical, count);
                spend(count);
                runs.push_back({logical, physical, count, unwritten});
            });
        }
    }

    void walk_indirect_block(uint32_t block, int level, uint64_t first)
    {
        if (block == 0)
            return;
        const uint64_t per_block = m_fs->blocksize / 4;
        uint64_t span = 1;
        for (int l = 1; l < level; ++l)
            span *= per_block;
        salvaging(first, first + span * per_block, [&] {
            const std::vector<unsigned char> bytes = read_map_block(block);
            for (uint64_t k = 0; k < per_block; ++k) {
                const uint32_t entry = le32(bytes.data() + 4 * k);
                if (level == 1)
                    add_block(first + k, entry);
                else
                    walk_indirect_block(entry, level - 1, first + k * span);
            }
        });
    }

    void add_block(uint64_t logical, uint32_t physical)
    {
        if (physical == 0)
            return;
        bool inside = true;
        salvaging(logical, logical + 1, [&] {
            inside = false;
            check_inside(physical, 1);
            spend(1);
            inside = true;
        });
        if (!inside)
            return;
        if (!runs.empty() && runs.back().logical + runs.back().count == logical &&
            runs.back().physical + runs.back().count == physical) {
            ++runs.back().count;
            return;
        }
        runs.push_back({logical, physical, 1, false});
    }

    ext2_filsys m_fs;
    ext2_ino_t m_ino;
    bool m_salvage;
    uint64_t m_budget = 0;
    std::unordered_set<uint64_t> m_visited;
};

} // namespace

block_map file_blocks(ext2_filsys fs, ext2_ino_t ino, const ext2_inode &inode, bool salvage)
{
    map_walk walk(fs, ino, inode, salvage);
    if (inode.i_flags & EXT4_EXTENTS_FL)
        walk.walk_extents(inode);
    else
        walk.walk_indirect(inode);
    return {std::move(walk.runs), std::move(walk.lost)};
}

} // namespace durnix
