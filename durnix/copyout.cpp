#include "copyout.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

namespace durnix {

namespace {

[[noreturn]] void local_failure()
{
    throw std::system_error(errno, std::generic_category(), "cannot write the copy");
}

void write_all(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            local_failure();
        data += n;
        size -= static_cast<size_t>(n);
    }
}

file_sink descriptor_sink(int fd)
{
    return {[fd](const char *data, size_t n) { write_all(fd, data, n); },
            [fd](uint64_t length) {
                if (lseek(fd, static_cast<off_t>(length), SEEK_CUR) < 0)
                    local_failure();
            }};
}

void set_length(int fd, uint64_t size)
{
    if (ftruncate(fd, static_cast<off_t>(size)) != 0)
        local_failure();
}

} // namespace

void copy_to_descriptor(const card_fs &fs, const std::vector<std::string> &path, int fd)
{
    set_length(fd, fs.read(path, descriptor_sink(fd)));
}

void salvage_to_descriptor(const card_fs &fs, const std::vector<std::string> &path, int fd,
                           std::vector<lost_bytes> &lost)
{
    set_length(fd, fs.salvage(path, descriptor_sink(fd), lost));
}

} // namespace durnix
