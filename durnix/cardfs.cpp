#include "cardfs.h"

#include <ext2fs/ext2fs.h>

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

uint64_t card_fs::read(const std::vector<std::string> &path,
                       const std::function<void(const char *, size_t)> &sink) const
{
    const ext2_ino_t inode = lookup(path);
    ext2_file_t file = nullptr;
    errcode_t error = ext2fs_file_open(m_fs->fs, inode, 0, &file);
    if (error)
        throw failure("cannot open the file", error);
    __u64 size = 0;
    error = ext2fs_file_get_lsize(file, &size);
    if (error) {
        ext2fs_file_close(file);
        throw failure("cannot size the file", error);
    }
    std::vector<char> buffer(size_t{4} << 20);
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
