// durnix-install SOURCE: installs SOURCE as the set-user-ID root durnix of the system folder
// KORVANE_PRIVILEGED_DIR. The viewer starts it through pkexec, at a prompt that names Korvane's
// card reader, so it installs nothing but the durnix it was built with: the source, opened
// without following links, is copied by that descriptor and put in place only when its digest
// is that durnix's. Nothing in a folder the user can write ever changes owner or mode.
#include "durnixdigest.h"
#include "sha256.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr off_t largest_program = 64 << 20;

int fail(int status, const std::string &what)
{
    std::fprintf(stderr, "durnix-install: %s\n", what.c_str());
    return status;
}

std::string system_error(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

bool owned_by_root_alone(int fd)
{
    struct stat st
    {
    };
    return fstat(fd, &st) == 0 && st.st_uid == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens (creating where missing) every folder of the absolute `path`, never through a link,
// each owned by root and writable by nobody else. Returns the last one's descriptor or -1.
int open_root_folder(const std::string &path, std::string *why)
{
    int fd = open("/", O_DIRECTORY | O_CLOEXEC);
    size_t start = 1;
    std::string walked;
    while (fd >= 0) {
        if (!owned_by_root_alone(fd)) {
            *why = (walked.empty() ? "/" : walked) + " is not owned by root alone";
            close(fd);
            return -1;
        }
        if (start >= path.size())
            return fd;
        const size_t slash = path.find('/', start);
        const std::string name = path.substr(start, slash - start);
        start = slash == std::string::npos ? path.size() : slash + 1;
        if (name.empty())
            continue;
        walked += "/" + name;
        if (mkdirat(fd, name.c_str(), 0755) != 0 && errno != EEXIST) {
            *why = system_error("cannot create " + walked);
            close(fd);
            return -1;
        }
        const int next = openat(fd, name.c_str(), O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            *why = system_error("cannot open the folder " + walked + " (links are not followed)");
        close(fd);
        fd = next;
    }
    return -1;
}

// Copies to the end, but no further than the largest program: a source that grows while it is
// copied (or is mostly holes) cannot fill the system's disk.
bool copy_all(int from, int to, durnix::sha256 &digest)
{
    char buffer[1 << 16];
    for (off_t copied = 0;;) {
        const ssize_t n = read(from, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        copied += n;
        digest.add(buffer, static_cast<size_t>(n));
        if (copied > largest_program) {
            errno = EFBIG;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(to, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += w;
        }
    }
}

// An ELF executable (ET_EXEC, or ET_DYN as position-independent programs are), not an object
// file or anything else that happens to be marked executable.
bool is_program(int fd)
{
    unsigned char header[18] = {};
    if (pread(fd, header, sizeof header, 0) != sizeof header || std::memcmp(header,
                                                                            "\x7f"
                                                                            "ELF",
                                                                            4) != 0)
        return false;
    const unsigned type =
        header[5] == 1 ? header[16] | header[17] << 8 : header[17] | header[16] << 8;
    return type == 2 || type == 3;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string folder = KORVANE_PRIVILEGED_DIR;
    if (argc != 2)
        return fail(1, "usage: durnix-install SOURCE (installs SOURCE as " + folder +
                           "/durnix, set-user-ID root)");
    if (geteuid() != 0)
        return fail(1, "must run as root; the viewer runs it through pkexec");
    umask(022);

    const int source = open(argv[1], O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (source < 0)
        return fail(
            2, system_error(std::string("cannot open ") + argv[1] + " (links are not followed)"));
    struct stat st
    {
    };
    if (fstat(source, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(2, std::string(argv[1]) + " is not a regular file");
    if (st.st_size > largest_program || !(st.st_mode & S_IXUSR) || !is_program(source))
        return fail(2, std::string(argv[1]) + " is not a program");

    std::string why;
    const int target = open_root_folder(folder, &why);
    if (target < 0)
        return fail(3, why);
    const std::string temporary = ".durnix-install-" + std::to_string(getpid());
    unlinkat(target, temporary.c_str(), 0);
    const int copy = openat(target, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    if (copy < 0)
        return fail(3, system_error("cannot create a file in " + folder));
    durnix::sha256 digest;
    const bool copied = copy_all(source, copy, digest);
    const int copy_error = errno;
    if (!copied || digest.hex() != DURNIX_SHA256) {
        close(copy);
        unlinkat(target, temporary.c_str(), 0);
        errno = copy_error;
        return copied ? fail(2, std::string(argv[1]) +
                                    " is not the durnix this installer was built with")
                      : fail(3, system_error(std::string("cannot copy ") + argv[1]));
    }
    // Owner first: a change of owner clears the set-user-ID bit.
    const bool written = fchown(copy, 0, 0) == 0 && fchmod(copy, 04755) == 0 && fsync(copy) == 0;
    const int saved = errno;
    if (close(copy) != 0 || !written ||
        renameat(target, temporary.c_str(), target, "durnix") != 0) {
        errno = written ? errno : saved;
        const std::string error = system_error("cannot install " + folder + "/durnix");
        unlinkat(target, temporary.c_str(), 0);
        return fail(3, error);
    }
    fsync(target);
    std::printf("durnix-install: installed %s/durnix\n", folder.c_str());
    return 0;
}
