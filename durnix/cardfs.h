#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace durnix {

struct entry
{
    uint32_t inode = 0;
    std::string name;
    uint64_t size = 0;
    bool folder = false;
};

// Bytes [first, end) of a file that could not be read, and why.
struct lost_bytes
{
    uint64_t first = 0;
    uint64_t end = 0;
    std::string why;
};

// Where a copied file's bytes go, in file order: bytes the card holds, and runs of zeros that
// the file never stored (holes), which a copy makes by seeking instead of writing.
struct file_sink
{
    std::function<void(const char *, size_t)> data;
    std::function<void(uint64_t)> hole;
};

// The card's ext4 file system, opened read-only at a byte offset of an open device or image.
// The card is anyone's to craft: every structure is checked before it is followed, and listing
// or copying ends in time proportional to the file system's size. Every failure is a
// runtime_error with a message for standard error; names in messages are escaped.
class card_fs
{
public:
    // Reads through a duplicate of `descriptor`; the caller keeps its own.
    card_fs(int descriptor, uint64_t offset);
    ~card_fs();
    card_fs(const card_fs &) = delete;
    card_fs &operator=(const card_fs &) = delete;

    // The folder's entries. A damaged entry, or a damaged stretch of a folder block, is left out
    // and described to `damage`; the rest is listed.
    std::vector<entry> list(const std::vector<std::string> &folder,
                            const std::function<void(const std::string &)> &damage) const;
    // The file's bytes at its size, which is returned: holes, unwritten (set aside) blocks and a
    // tail the file never wrote give zeros, as holes. A file larger than the file system, or
    // one whose map or data cannot all be read, is an error.
    uint64_t read(const std::vector<std::string> &path, const file_sink &sink) const;
    // The same, but what cannot be read (a damaged part of the map, a block the card cannot
    // read) gives zeros and is listed in `lost`, in file order, and everything else is copied.
    uint64_t salvage(const std::vector<std::string> &path, const file_sink &sink,
                     std::vector<lost_bytes> &lost) const;

private:
    uint64_t copy(const std::vector<std::string> &path, const file_sink &sink, bool salvage,
                  std::vector<lost_bytes> &lost) const;
    struct handle;
    std::unique_ptr<handle> m_fs;
};

} // namespace durnix
