#include "commands.h"

#include "cardfs.h"
#include "cardpath.h"
#include "privilege.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace durnix {

namespace {

constexpr int exit_usage = 1;
constexpr int exit_refused = 2;
constexpr int exit_card = 3;
constexpr int exit_local = 4;

int usage()
{
    std::fputs("usage: durnix ls <device> <offset> <cardFolder>\n"
               "       durnix read <device> <offset> <cardPath> <localPath>\n",
               stderr);
    return exit_usage;
}

int refuse(const std::string &why)
{
    std::fprintf(stderr, "durnix: %s\n", why.c_str());
    return exit_refused;
}

void write_all(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::system_error(errno, std::generic_category(), "cannot write the copy");
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// One line per entry: its inode number, its name (escaped into one field) and its size. The
// number first keeps message lines, which never begin with one, from passing for entries.
int list_folder(const card_fs &fs, const std::vector<std::string> &folder)
{
    for (const entry &e : fs.list(folder))
        std::printf("%u %s %llu\n", e.inode, escaped_name(e.name).c_str(),
                    static_cast<unsigned long long>(e.size));
    return std::fflush(stdout) == 0 ? 0 : exit_local;
}

// The copy is written next to the destination under a temporary name and renamed over it only
// when complete: a card pulled mid-copy never leaves a file that looks whole.
int copy_out(const card_fs &fs, const std::vector<std::string> &path,
             const std::string &destination)
{
    const size_t slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash + 1);
    std::string temporary = folder + (folder.back() == '/' ? "" : "/") + ".durnix-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        std::fprintf(stderr, "durnix: cannot create a file in %s: %s\n", folder.c_str(),
                     std::strerror(errno));
        return exit_local;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    try {
        fs.read(path, [fd](const char *data, size_t size) { write_all(fd, data, size); });
        if (close(fd) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot write the copy");
    } catch (const std::system_error &error) {
        unlink(temporary.c_str());
        std::fprintf(stderr, "durnix: %s\n", error.what());
        return exit_local;
    } catch (const std::runtime_error &error) {
        close(fd);
        unlink(temporary.c_str());
        std::fprintf(stderr, "durnix: %s\n", error.what());
        return exit_card;
    }
    if (rename(temporary.c_str(), destination.c_str()) != 0) {
        std::fprintf(stderr, "durnix: cannot put the copy in place: %s\n", std::strerror(errno));
        unlink(temporary.c_str());
        return exit_local;
    }
    return 0;
}

} // namespace

int run(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (!((command == "ls" && argc == 5) || (command == "read" && argc == 6)))
        return usage();

    std::string device = argv[2];
    uint64_t offset = 0;
    const std::string offset_text = argv[3];
    const auto parsed =
        std::from_chars(offset_text.data(), offset_text.data() + offset_text.size(), offset);
    if (parsed.ec != std::errc() || parsed.ptr != offset_text.data() + offset_text.size())
        return usage();
    const auto path = card_path_parts(argv[4]);
    if (!path)
        return refuse(std::string("not a path on the card: ") + argv[4]);

    const bool elevated = running_elevated();
    if (elevated) {
        std::string why;
        device = accepted_card_device(device, &why);
        if (device.empty()) {
            drop_privileges();
            return refuse(std::string(argv[2]) + ": " + why);
        }
    }

    try {
        const card_fs fs(device, offset);
        // The device is open; nothing from here on needs more than the caller's own rights.
        if (elevated)
            drop_privileges();
        if (command == "ls")
            return list_folder(fs, *path);
        return copy_out(fs, *path, argv[5]);
    } catch (const std::runtime_error &error) {
        if (elevated)
            drop_privileges();
        std::fprintf(stderr, "durnix: %s\n", error.what());
        return exit_card;
    }
}

} // namespace durnix
