#include "cardfs.h"

#include "blockmap.h"
#include "cardpath.h"

#include <ext2fs/ext2_err.h>
#include <ext2fs/ext2fs.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <unordered_set>

namespace durnix {

struct card_fs::handle
{
    ~handle()
    {
        if (fs)
            ext2fs_close_free(&fs);
    }
    ext2_filsys fs = nullptr;
};

namespace {

std::runtime_error failure(const std::string &what, errcode_t code)
{
    return std::runtime_error(what + ": " + error_message(code));
}

void register_error_texts()
{
    // Without it the library's errors read "Unknown code ext2 NN".
    static const bool registered = (initialize_ext2_error_table(), true);
    (void)registered;
}

// Blocks read at once: a mebibyte's worth. Copying through a larger buffer is slower here, not
// faster: the 8 MiB one wrote a recording four times slower than the page cache allows.
uint64_t blocks_per_read(uint64_t block_size)
{
    return std::max<uint64_t>(1, (uint64_t{1} << 20) / block_size);
}

ext2_inode read_inode(ext2_filsys fs, ext2_ino_t ino)
{
    if (ino == 0 || ino > fs->super->s_inodes_count)
        throw std::runtime_error("an entry names inode " + std::to_string(ino) +
                                 ", which the file system does not have");
    ext2_inode inode{};
    const errcode_t error = ext2fs_read_inode(fs, ino, &inode);
    if (error)
        throw failure("cannot read inode " + std::to_string(ino), error);
    return inode;
}

using entry_visitor = std::function<void(const std::string &name, ext2_ino_t ino)>;
using damage_report = std::function<void(const std::string &)>;

// One stretch of folder entries (a folder block, or a part of a small folder kept in its inode):
// entries must tile it exactly. An entry whose record is sound but whose name is not is left
// out; where a record itself does not fit, the rest of the stretch cannot be trusted and is
// skipped. The folder's other stretches are still read.
void parse_entries(ext2_filsys fs, const unsigned char *data, size_t size, const std::string &where,
                   const entry_visitor &visit, const damage_report &damage)
{
    size_t offset = 0;
    while (offset + 8 <= size) {
        auto *dirent =
            reinterpret_cast<ext2_dir_entry *>(const_cast<unsigned char *>(data) + offset);
        unsigned int length = 0;
        // An unused record may be as short as its header: the kernel and e2fsck step over it.
        if (ext2fs_get_rec_len(fs, dirent, &length) || length < 8 || length % 4 != 0 ||
            length > size - offset || (dirent->inode != 0 && length < 12)) {
            damage("damaged entries in " + where + " from byte " + std::to_string(offset) +
                   " on, skipped");
            return;
        }
        const size_t name_length = static_cast<size_t>(ext2fs_dirent_name_len(dirent));
        if (dirent->inode != 0 && (name_length == 0 || name_length + 8 > length))
            damage("a damaged entry in " + where + " at byte " + std::to_string(offset) +
                   ", skipped");
        else if (dirent->inode != 0)
            visit(std::string(reinterpret_cast<const char *>(data) + offset + 8, name_length),
                  dirent->inode);
        offset += length;
    }
}

// The data of a file or folder kept inside its inode: the inode's block map, then the value of
// its "system.data" attribute. Every size comes with what was read, never from an earlier
// reading: the card may change between two.
std::vector<unsigned char> inline_data(ext2_filsys fs, ext2_ino_t ino, const char *what)
{
    std::vector<unsigned char> inode(EXT2_INODE_SIZE(fs->super));
    auto *large = reinterpret_cast<ext2_inode_large *>(inode.data());
    ext2_xattr_handle *attributes = nullptr;
    void *value = nullptr;
    size_t length = 0;
    errcode_t error = ext2fs_read_inode_full(fs, ino, reinterpret_cast<ext2_inode *>(large),
                                             static_cast<int>(inode.size()));
    if (!error)
        error = ext2fs_xattrs_open(fs, ino, &attributes);
    if (!error)
        error = ext2fs_xattrs_read_inode(attributes, large);
    if (!error)
        error = ext2fs_xattr_get(attributes, "system.data", &value, &length);
    if (attributes)
        ext2fs_xattrs_close(&attributes);
    if (error)
        throw failure(std::string("cannot read the ") + what, error);
    std::vector<unsigned char> data(sizeof large->i_block + length);
    std::memcpy(data.data(), large->i_block, sizeof large->i_block);
    if (length > 0)
        std::memcpy(data.data() + sizeof large->i_block, value, length);
    ext2fs_free_mem(&value);
    return data;
}

// Small folders may live inside their inode: the parent's number, then entries in the rest of
// the inode's block map and in the attribute.
void for_each_inline_entry(ext2_filsys fs, ext2_ino_t ino, const ext2_inode &inode,
                           const entry_visitor &visit, const damage_report &damage)
{
    constexpr size_t in_inode = sizeof inode.i_block;
    const std::vector<unsigned char> data = inline_data(fs, ino, "folder");
    visit(".", ino);
    visit("..", static_cast<ext2_ino_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                        static_cast<uint32_t>(data[3]) << 24));
    parse_entries(fs, data.data() + 4, in_inode - 4, "the folder's inode", visit, damage);
    parse_entries(fs, data.data() + in_inode, data.size() - in_inode,
                  "the folder's extended attribute", visit, damage);
}

void for_each_entry(ext2_filsys fs, ext2_ino_t ino, const ext2_inode &inode,
                    const entry_visitor &visit, const damage_report &damage)
{
    if (!LINUX_S_ISDIR(inode.i_mode))
        throw std::runtime_error("not a folder");
    if (inode.i_flags & EXT4_INLINE_DATA_FL) {
        for_each_inline_entry(fs, ino, inode, visit, damage);
        return;
    }
    const uint64_t block_size = fs->blocksize;
    const uint64_t folder_blocks = (EXT2_I_SIZE(&inode) + block_size - 1) / block_size;
    const bool checksums = ext2fs_has_feature_metadata_csum(fs->super);
    // A damaged part of the folder's map costs the entries in it, not the whole folder.
    const block_map map = file_blocks(fs, ino, inode, true);
    for (const lost_run &lost : map.lost)
        damage("folder blocks from " + std::to_string(lost.logical) +
               " cannot be found: " + lost.why);
    std::vector<unsigned char> buffer;
    for (const block_run &run : map.runs) {
        const std::string blocks = "folder blocks " + std::to_string(run.logical) + " to " +
                                   std::to_string(run.logical + run.count - 1);
        if (run.logical + run.count > folder_blocks)
            damage(blocks + ": past the folder's size, not read");
        if (run.unwritten) {
            damage(blocks + ": never written, not read");
            continue;
        }
        for (uint64_t first = 0; first < run.count && run.logical + first < folder_blocks;
             first += blocks_per_read(block_size)) {
            const uint64_t count = std::min({blocks_per_read(block_size), run.count - first,
                                             folder_blocks - run.logical - first});
            buffer.resize(count * block_size);
            const errcode_t error = io_channel_read_blk64(fs->io, run.physical + first,
                                                          static_cast<int>(count), buffer.data());
            if (error) {
                damage(blocks + ": " + error_message(error));
                continue;
            }
            for (uint64_t b = 0; b < count; ++b) {
                unsigned char *block = buffer.data() + b * block_size;
                const std::string where = "folder block " + std::to_string(run.logical + first + b);
                if (checksums && !ext2fs_dir_block_csum_verify(
                                     fs, ino, reinterpret_cast<ext2_dir_entry *>(block))) {
                    damage(where + " fails its checksum, not trusted");
                    continue;
                }
                parse_entries(fs, block, block_size, where, visit, damage);
            }
        }
    }
}

ext2_ino_t lookup(ext2_filsys fs, const std::vector<std::string> &path)
{
    ext2_ino_t ino = EXT2_ROOT_INO;
    for (const std::string &part : path) {
        ext2_ino_t found = 0;
        bool damaged = false;
        for_each_entry(
            fs, ino, read_inode(fs, ino),
            [&](const std::string &name, ext2_ino_t child) {
                if (!found && name == part)
                    found = child;
            },
            [&](const std::string &) { damaged = true; });
        if (!found)
            throw std::runtime_error("cannot find " + escaped_name(part) +
                                     (damaged ? " (its folder has damaged entries)" : ""));
        ino = found;
    }
    return ino;
}

// The size the superblock claims, read before the library reads anything else: the library
// reads every group descriptor the claimed size implies, so a lie costs memory and time in
// proportion to it. 0 when there is no ext2/3/4 superblock to read.
uint64_t claimed_size(int descriptor, uint64_t offset)
{
    unsigned char super[1024];
    if (pread(descriptor, super, sizeof super, static_cast<off_t>(offset + 1024)) !=
        static_cast<ssize_t>(sizeof super))
        return 0;
    const auto le32 = [&](size_t at) {
        return static_cast<uint64_t>(super[at] | super[at + 1] << 8 | super[at + 2] << 16) |
               static_cast<uint64_t>(super[at + 3]) << 24;
    };
    if ((super[0x38] | super[0x39] << 8) != EXT2_SUPER_MAGIC)
        return 0;
    const uint64_t log_block_size = std::min<uint64_t>(le32(0x18), 6);
    uint64_t blocks = le32(0x04);
    if (le32(0x60) & EXT4_FEATURE_INCOMPAT_64BIT)
        blocks |= le32(0x150) << 32;
    return std::min<uint64_t>(blocks, uint64_t{1} << 48) << (10 + log_block_size);
}

} // namespace

card_fs::card_fs(int descriptor, uint64_t offset) : m_fs(std::make_unique<handle>())
{
    register_error_texts();
    const off_t end = lseek(descriptor, 0, SEEK_END);
    if (end < 0)
        throw std::runtime_error("cannot open the card");
    // Every "inside the file system" check trusts the block count: it must fit the card.
    const uint64_t available = static_cast<uint64_t>(end) - std::min<uint64_t>(end, offset);
    const auto too_large = [] {
        return std::runtime_error("the file system claims to be larger than the card");
    };
    const uint64_t claimed = claimed_size(descriptor, offset);
    if (claimed == 0)
        throw std::runtime_error("not an ext4 file system at byte " + std::to_string(offset));
    if (claimed > available)
        throw too_large();
    const int own = dup(descriptor);
    if (own < 0)
        throw std::runtime_error("cannot open the card");
    const std::string options = "offset=" + std::to_string(offset);
    // Read-only: durnix never writes to a card.
    const errcode_t error = ext2fs_open2(std::to_string(own).c_str(), options.c_str(),
                                         EXT2_FLAG_64BITS, 0, 0, unixfd_io_manager, &m_fs->fs);
    if (error) {
        // The library closes the descriptor only when it got as far as reading through it.
        if (fcntl(own, F_GETFD) != -1)
            close(own);
        throw failure("cannot open the card's file system", error);
    }
    if (ext2fs_blocks_count(m_fs->fs->super) > available / m_fs->fs->blocksize)
        throw too_large();
}

card_fs::~card_fs() = default;

std::vector<entry> card_fs::list(const std::vector<std::string> &folder,
                                 const std::function<void(const std::string &)> &damage) const
{
    ext2_filsys fs = m_fs->fs;
    const ext2_ino_t ino = lookup(fs, folder);
    std::vector<entry> entries;
    std::unordered_set<std::string> names;
    for_each_entry(
        fs, ino, read_inode(fs, ino),
        [&](const std::string &name, ext2_ino_t child) {
            // A second entry of a name cannot be read by it: only the first one is listed.
            if (!names.insert(name).second) {
                damage(escaped_name(name) + ": a second entry of this name, left out");
                return;
            }
            try {
                const ext2_inode inode = read_inode(fs, child);
                entries.push_back(
                    {child, name, EXT2_I_SIZE(&inode), LINUX_S_ISDIR(inode.i_mode) != 0});
            } catch (const std::runtime_error &error) {
                damage(escaped_name(name) + ": " + error.what());
            }
        },
        damage);
    // Every folder holds itself and its parent: without them it was not read whole.
    for (const char *own : {".", ".."}) {
        if (!names.contains(own))
            damage(std::string("no \"") + own + "\" entry: the folder was not read whole");
    }
    return entries;
}

uint64_t card_fs::read(const std::vector<std::string> &path, const file_sink &sink) const
{
    std::vector<lost_bytes> lost;
    return copy(path, sink, false, lost);
}

uint64_t card_fs::salvage(const std::vector<std::string> &path, const file_sink &sink,
                          std::vector<lost_bytes> &lost) const
{
    return copy(path, sink, true, lost);
}

uint64_t card_fs::copy(const std::vector<std::string> &path, const file_sink &sink, bool salvage,
                       std::vector<lost_bytes> &lost) const
{
    ext2_filsys fs = m_fs->fs;
    const ext2_ino_t ino = lookup(fs, path);
    const ext2_inode inode = read_inode(fs, ino);
    if (!LINUX_S_ISREG(inode.i_mode))
        throw std::runtime_error("not a file");
    const uint64_t size = EXT2_I_SIZE(&inode);
    const uint64_t block_size = fs->blocksize;
    // A file may end in a hole (set aside, or sized up front), but no larger than the card.
    if (size > ext2fs_blocks_count(fs->super) * block_size)
        throw std::runtime_error("the file claims more bytes than the file system holds");

    if (inode.i_flags & EXT4_INLINE_DATA_FL) {
        const std::vector<unsigned char> data = inline_data(fs, ino, "file");
        if (size > data.size())
            throw std::runtime_error("the file claims more bytes than its inode holds");
        sink.data(reinterpret_cast<const char *>(data.data()), static_cast<size_t>(size));
        return size;
    }

    block_map map = file_blocks(fs, ino, inode, salvage);
    const auto lose = [&](uint64_t first, uint64_t end, const std::string &why) {
        end = std::min(end, size);
        if (first < end)
            lost.push_back({first, end, why});
    };
    // Unmapped parts read as zeros; a lost one is listed too.
    std::vector<block_run> runs = std::move(map.runs);
    for (const lost_run &gone : map.lost) {
        lose(gone.logical * block_size,
             gone.count > UINT64_MAX / block_size - gone.logical
                 ? UINT64_MAX
                 : (gone.logical + gone.count) * block_size,
             gone.why);
    }

    // Recordings are hundreds of megabytes: read them a mebibyte at a time.
    std::vector<char> buffer;
    uint64_t done = 0;
    for (const block_run &run : runs) {
        const uint64_t start = run.logical * block_size;
        if (start >= size)
            break;
        if (start > done) {
            sink.hole(start - done);
            done = start;
        }
        if (run.unwritten) {
            const uint64_t n = std::min(run.count * block_size, size - done);
            sink.hole(n);
            done += n;
            continue;
        }
        for (uint64_t first = 0; first < run.count && done < size;
             first += blocks_per_read(block_size)) {
            const uint64_t count = std::min(blocks_per_read(block_size), run.count - first);
            buffer.resize(count * block_size);
            const errcode_t error = io_channel_read_blk64(fs->io, run.physical + first,
                                                          static_cast<int>(count), buffer.data());
            const uint64_t n = std::min(count * block_size, size - done);
            if (!error) {
                sink.data(buffer.data(), static_cast<size_t>(n));
                done += n;
                continue;
            }
            if (!salvage)
                throw failure("cannot read the file", error);
            // Block by block: what can be read is kept, the rest is zeros and listed.
            for (uint64_t b = 0; b < count && done < size; ++b) {
                const uint64_t part = std::min(block_size, size - done);
                if (io_channel_read_blk64(fs->io, run.physical + first + b, 1, buffer.data())) {
                    lose(done, done + part, "the card cannot read this part");
                    sink.hole(part);
                } else {
                    sink.data(buffer.data(), static_cast<size_t>(part));
                }
                done += part;
            }
        }
    }
    if (done < size)
        sink.hole(size - done);
    std::sort(lost.begin(), lost.end(),
              [](const lost_bytes &a, const lost_bytes &b) { return a.first < b.first; });
    return size;
}

} // namespace durnix
