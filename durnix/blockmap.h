#pragma once

#include <ext2fs/ext2fs.h>

#include <cstdint>
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

// The file's block runs in file order, from its extent tree or its indirect block map, read
// from the card itself rather than through the library's walkers: a card is anyone's to craft,
// so every map block is visited at most once, every block lies inside the file system, no run
// is empty or overlaps another, and the map may not name more blocks than the inode says the
// file has. The walk therefore ends in time proportional to the file system's size. Every
// failure is a runtime_error.
std::vector<block_run> file_blocks(ext2_filsys fs, const ext2_inode &inode);

} // namespace durnix
