#pragma once

#include <ext2fs/ext2fs.h>

#include <cstdint>
#include <string>
#include <vector>

namespace durnix {

// A run of a file's blocks: `count` blocks from file block `logical` lie at `physical`. An
// unwritten run (space set aside but never written) reads as zeros.
struct block_run
{
    uint64_t logical = 0;
    uint64_t physical = 0;
    uint64_t count = 0;
    bool unwritten = false;
};

// File blocks whose place the map could not tell: `count` blocks from `logical`.
struct lost_run
{
    uint64_t logical = 0;
    uint64_t count = 0;
    std::string why;
};

struct block_map
{
    std::vector<block_run> runs; // in file order
    std::vector<lost_run> lost;  // only when salvaging
};

// The file's block runs in file order, from its extent tree or its indirect block map, read
// from the card itself rather than through the library's walkers: a card is anyone's to craft,
// so every map block is visited at most once, every block lies inside the file system, no run
// is empty or overlaps another, and the map may not name more blocks than the inode says the
// file has. Where the file system keeps checksums, every extent block must match its own. The
// walk therefore ends in time proportional to the file system's size. Every failure is a
// runtime_error; when salvaging, a damaged part of the map costs only the blocks it maps, which
// are listed in `lost`, and the rest is still given.
block_map file_blocks(ext2_filsys fs, ext2_ino_t ino, const ext2_inode &inode, bool salvage);

} // namespace durnix
