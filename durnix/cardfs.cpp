#include "cardfs.h"

#include <ext2fs/ext2fs.h>

#include <algorithm>
#include <stdexcept>

namespace durnix {

struct card_fs::handle
{
    ext2_filsys fs = nullptr;
};

namespace {

std::runtime_error failure(const std::string &what, errcode_t code)
{
    return std::runtime_error(what + ": " + error_message(code));
}

struct listing
{
    ext2_filsys fs;
    std::vector<entry> *entries;
    errcode_t error = 0;
};

int add_entry(ext2_ino_t, int, ext2_dir_entry *dirent, int, int, char *, void *context)
{
    auto *list = static_cast<listing *>(context);
    const int length = ext2fs_dirent_name_len(dirent);
    entry e;
    e.inode = dirent->inode;
    e.name.assign(dirent->name, static_cast<size_t>(length));
    ext2_inode_large inode{};
    const errcode_t error = ext2fs_read_inode_full(
        list->fs, dirent->inode, reinterpret_cast<ext2_inode *>(&inode), sizeof inode);
    if (error) {
        list->error = error;
        return DIRENT_ABORT;
    }
    e.size = EXT2_I_SIZE(&inode);
    e.folder = LINUX_S_ISDIR(inode.i_mode);
    list->entries->push_back(std::move(e));
    return 0;
}

} // namespace

card_fs::card_fs(const std::string &device, uint64_t offset) : m_fs(std::make_unique<handle>())
{
    const std::string options = "offset=" + std::to_string(offset);
    // Read-only: durnix never writes to a card.
    const errcode_t error = ext2fs_open2(device.c_str(), options.c_str(), EXT2_FLAG_64BITS, 0, 0,
                                         unix_io_manager, &m_fs->fs);
    if (error)
        throw failure("cannot open the card's file system on " + device, error);
}

card_fs::~card_fs()
{
    if (m_fs->fs)
        ext2fs_close_free(&m_fs->fs);
}

uint32_t card_fs::lookup(const std::vector<std::string> &path) const
{
    ext2_ino_t inode = EXT2_ROOT_INO;
    for (const std::string &part : path) {
        ext2_ino_t next = 0;
        const errcode_t error = ext2fs_lookup(m_fs->fs, inode, part.c_str(),
                                              static_cast<int>(part.size()), nullptr, &next);
        if (error)
            throw failure("cannot find " + part, error);
        inode = next;
    }
    return inode;
}

std::vector<entry> card_fs::list(const std::vector<std::string> &folder) const
{
    const ext2_ino_t inode = lookup(folder);
    std::vector<entry> entries;
    listing context{m_fs->fs, &entries};
    const errcode_t error = ext2fs_dir_iterate2(m_fs->fs, inode, 0, nullptr, add_entry, &context);
    if (error)
        throw failure("cannot list the folder", error);
    if (context.error)
        throw failure("cannot read an entry of the folder", context.error);
    return entries;
}

namespace {

struct extent_run
{
    uint64_t logical = 0;
    uint64_t physical = 0;
    uint64_t count = 0;
    bool unwritten = false;
};

// The file's extents in file order, checked against the file system's size so that a damaged map
// is an error rather than a read of somewhere else.
std::vector<extent_run> extent_map(ext2_filsys fs, ext2_ino_t ino, ext2_inode *inode)
{
    ext2_extent_handle_t handle = nullptr;
    errcode_t error = ext2fs_extent_open2(fs, ino, inode, &handle);
    if (error)
        throw failure("cannot read the file's block map", error);
    std::vector<extent_run> runs;
    ext2fs_extent extent{};
    for (error = ext2fs_extent_get(handle, EXT2_EXTENT_ROOT, &extent); !error;
         error = ext2fs_extent_get(handle, EXT2_EXTENT_NEXT_LEAF, &extent)) {
        if (!(extent.e_flags & EXT2_EXTENT_FLAGS_LEAF) || extent.e_len == 0)
            continue;
        runs.push_back({extent.e_lblk, extent.e_pblk, extent.e_len,
                        (extent.e_flags & EXT2_EXTENT_FLAGS_UNINIT) != 0});
        if (runs.size() > 1 &&
            runs.back().logical < runs[runs.size() - 2].logical + runs[runs.size() - 2].count)
            break;
    }
    ext2fs_extent_free(handle);
    if (error && error != EXT2_ET_EXTENT_NO_NEXT)
        throw failure("cannot read the file's block map", error);
    const uint64_t blocks = ext2fs_blocks_count(fs->super);
    for (size_t i = 0; i < runs.size(); ++i) {
        const bool overlaps = i > 0 && runs[i].logical < runs[i - 1].logical + runs[i - 1].count;
        if (overlaps || runs[i].physical + runs[i].count > blocks)
            throw std::runtime_error("the file's block map is damaged");
    }
    return runs;
}

} // namespace

uint64_t card_fs::read(const std::vector<std::string> &path,
                       const std::function<void(const char *, size_t)> &sink) const
{
    ext2_filsys fs = m_fs->fs;
    const ext2_ino_t ino = lookup(path);
    ext2_inode inode{};
    errcode_t error = ext2fs_read_inode(fs, ino, &inode);
    if (error)
        throw failure("cannot read the file's inode", error);
    if (!LINUX_S_ISREG(inode.i_mode))
        throw std::runtime_error("not a file");
    const uint64_t size = EXT2_I_SIZE(&inode);
    if (!(inode.i_flags & EXT4_EXTENTS_FL) || (inode.i_flags & EXT4_INLINE_DATA_FL))
        return read_through_library(ino, size, sink);

    // Recordings are hundreds of megabytes: read them by their extents, megabytes at a time.
    const uint64_t block_size = fs->blocksize;
    constexpr uint64_t blocks_per_read = 2048;
    std::vector<char> buffer(blocks_per_read * block_size);
    uint64_t done = 0;
    const auto zeros_to = [&](uint64_t end) {
        std::fill(buffer.begin(), buffer.end(), 0);
        while (done < end) {
            const uint64_t n = std::min<uint64_t>(end - done, buffer.size());
            sink(buffer.data(), n);
            done += n;
        }
    };
    for (const extent_run &run : extent_map(fs, ino, &inode)) {
        if (run.logical * block_size >= size)
            break;
        zeros_to(run.logical * block_size); // a hole
        for (uint64_t first = 0; first < run.count && done < size; first += blocks_per_read) {
            const uint64_t count = std::min(blocks_per_read, run.count - first);
            if (run.unwritten) {
                std::fill(buffer.begin(), buffer.end(), 0);
            } else {
                error = io_channel_read_blk64(fs->io, run.physical + first, static_cast<int>(count),
                                              buffer.data());
                if (error)
                    throw failure("cannot read the file", error);
            }
            const uint64_t n = std::min(count * block_size, size - done);
            sink(buffer.data(), n);
            done += n;
        }
    }
    zeros_to(size); // a hole at the end
    return size;
}

uint64_t card_fs::read_through_library(uint32_t inode, uint64_t size,
                                       const std::function<void(const char *, size_t)> &sink) const
{
    ext2_file_t file = nullptr;
    errcode_t error = ext2fs_file_open(m_fs->fs, inode, 0, &file);
    if (error)
        throw failure("cannot open the file", error);
    std::vector<char> buffer(size_t{1} << 20);
    uint64_t done = 0;
    while (done < size) {
        unsigned int got = 0;
        error =
            ext2fs_file_read(file, buffer.data(), static_cast<unsigned int>(buffer.size()), &got);
        if (error || got == 0)
            break;
        sink(buffer.data(), got);
        done += got;
    }
    ext2fs_file_close(file);
    if (error)
        throw failure("cannot read the file", error);
    if (done != size)
        throw std::runtime_error("the file ends early on the card");
    return size;
}

} // namespace durnix
