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

// The card's ext4 file system, opened read-only at a byte offset of a device or image. Every
// failure is a runtime_error with a message for standard error.
class card_fs
{
public:
    card_fs(const std::string &device, uint64_t offset);
    ~card_fs();
    card_fs(const card_fs &) = delete;
    card_fs &operator=(const card_fs &) = delete;

    std::vector<entry> list(const std::vector<std::string> &folder) const;
    // Streams the file's bytes to `sink` in large pieces; returns the file's size.
    uint64_t read(const std::vector<std::string> &path,
                  const std::function<void(const char *, size_t)> &sink) const;

private:
    uint32_t lookup(const std::vector<std::string> &path) const;
    // Files without extents (inline data, old block maps) go through the library's reader.
    uint64_t read_through_library(uint32_t inode, uint64_t size,
                                  const std::function<void(const char *, size_t)> &sink) const;

    struct handle;
    std::unique_ptr<handle> m_fs;
};

} // namespace durnix
