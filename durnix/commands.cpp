#include "commands.h"

#include "carddevice.h"
#include "cardfs.h"
#include "cardpath.h"
#include "copyout.h"
#include "privilege.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace durnix {

namespace {

constexpr int exit_usage = 1;
constexpr int exit_refused = 2;
constexpr int exit_card = 3;
constexpr int exit_local = 4;
constexpr int exit_damaged = 5;

const char usage_text[] =
    "usage: durnix ls DEVICE OFFSET FOLDER\n"
    "       durnix read DEVICE OFFSET PATH LOCALFILE\n"
    "\n"
    "Reads the ext4 file system that starts OFFSET bytes into DEVICE (an SD card or a card\n"
    "image), never writing to it. FOLDER and PATH are relative to its root, and may be written\n"
    "as ls lists names.\n"
    "\n"
    "ls prints one line per entry: inode number, name, size in bytes, separated by blanks.\n"
    "Names are printable UTF-8; any other byte, blanks and the backslash are written as octal\n"
    "escapes (\\ooo). read copies the file to LOCALFILE, replacing it only once the copy is\n"
    "whole. Messages go to standard error.\n"
    "\n"
    "Installed set-user-ID root, durnix reads only a whole-disk SD card named /dev/NAME at\n"
    "offset 104857600, and gives up its rights before it reads the file system.\n"
    "\n"
    "Exit status: 0 done, 1 usage, 2 refused (device, offset or path), 3 the card could not\n"
    "be read, 4 the local file could not be written, 5 listed, but damaged entries were left\n"
    "out.\n";

int usage()
{
    std::fputs(usage_text, stderr);
    return exit_usage;
}

int refuse(const std::string &why)
{
    std::fprintf(stderr, "durnix: %s\n", why.c_str());
    return exit_refused;
}

std::string shown_path(const std::vector<std::string> &parts)
{
    std::string text;
    for (const std::string &part : parts)
        text += (text.empty() ? "" : "/") + escaped_name(part);
    return text;
}

int list_folder(const card_fs &fs, const std::vector<std::string> &folder)
{
    bool damaged = false;
    const std::vector<entry> entries = fs.list(folder, [&](const std::string &what) {
        std::fprintf(stderr, "durnix: %s: %s\n", shown_path(folder).c_str(), what.c_str());
        damaged = true;
    });
    // The inode number first keeps message lines, which never begin with one, from passing
    // for entries when both streams are read as one.
    for (const entry &e : entries)
        std::printf("%u %s %llu\n", e.inode, escaped_name(e.name).c_str(),
                    static_cast<unsigned long long>(e.size));
    if (std::fflush(stdout) != 0)
        return exit_local;
    return damaged ? exit_damaged : 0;
}

// The copy being written, for the signal handlers: an interrupted copy leaves nothing behind.
char temporary_path[PATH_MAX];
volatile sig_atomic_t has_temporary = 0;

extern "C" void remove_temporary(int signal_number)
{
    if (has_temporary)
        unlink(temporary_path);
    std::signal(signal_number, SIG_DFL);
    raise(signal_number);
}

int create_temporary(const std::string &destination)
{
    const size_t slash = destination.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : destination.substr(0, slash);
    const std::string pattern = (folder.empty() ? "" : folder) + "/.durnix-XXXXXX";
    if (pattern.size() >= sizeof temporary_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    sigset_t interruptions, previous;
    sigemptyset(&interruptions);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&interruptions, s);
    sigprocmask(SIG_BLOCK, &interruptions, &previous);
    std::memcpy(temporary_path, pattern.c_str(), pattern.size() + 1);
    const int fd = mkstemp(temporary_path);
    const int error = errno;
    has_temporary = fd >= 0;
    struct sigaction action
    {
    };
    action.sa_handler = remove_temporary;
    sigemptyset(&action.sa_mask);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return fd;
}

void remove_temporary_file()
{
    unlink(temporary_path);
    has_temporary = 0;
}

// Written next to the destination under a temporary name and renamed over it only when whole:
// a card pulled mid-copy never leaves a file that looks complete.
int copy_out(const card_fs &fs, const std::vector<std::string> &path,
             const std::string &destination)
{
    const int fd = create_temporary(destination);
    if (fd < 0) {
        std::fprintf(stderr, "durnix: cannot create a file beside %s: %s\n", destination.c_str(),
                     std::strerror(errno));
        return exit_local;
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    try {
        copy_to_descriptor(fs, path, fd);
        if (close(fd) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot write the copy");
    } catch (const std::system_error &error) {
        remove_temporary_file();
        std::fprintf(stderr, "durnix: %s\n", error.what());
        return exit_local;
    } catch (const std::runtime_error &error) {
        close(fd);
        remove_temporary_file();
        std::fprintf(stderr, "durnix: %s: %s\n", shown_path(path).c_str(), error.what());
        return exit_card;
    }
    if (rename(temporary_path, destination.c_str()) != 0) {
        std::fprintf(stderr, "durnix: cannot put the copy in place: %s\n", std::strerror(errno));
        remove_temporary_file();
        return exit_local;
    }
    has_temporary = 0;
    return 0;
}

struct opened_source
{
    int fd = -1;
    int failure = 0; // the exit status when there is no descriptor
    std::string why;
};

// The device or image as a descriptor. With elevated rights only an SD card qualifies, and
// every right is given up before anything of it is read.
opened_source open_source(const std::string &device, uint64_t offset)
{
    opened_source source;
    if (!running_elevated()) {
        source.fd = open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        source.failure = exit_card;
        source.why = "cannot open " + device + ": " + std::strerror(errno);
        return source;
    }
    source.failure = exit_refused;
    if (offset != card_offset)
        source.why =
            "with elevated rights durnix reads only at offset " + std::to_string(card_offset);
    else
        source.fd = open_card_device(device, &source.why);
    drop_privileges();
    return source;
}

} // namespace

int run(int argc, char **argv)
{
    if (running_elevated())
        ensure_standard_descriptors();
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc == 2 && command == "--help") {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (!((command == "ls" && argc == 5) || (command == "read" && argc == 6))) {
        if (running_elevated())
            drop_privileges();
        return usage();
    }

    const std::string device = argv[2];
    uint64_t offset = 0;
    const std::string offset_text = argv[3];
    const auto parsed =
        std::from_chars(offset_text.data(), offset_text.data() + offset_text.size(), offset);
    const bool offset_ok =
        parsed.ec == std::errc() && parsed.ptr == offset_text.data() + offset_text.size();
    const auto path = card_path_parts(argv[4]);

    const opened_source source = offset_ok && path ? open_source(device, offset) : opened_source{};
    if (running_elevated())
        drop_privileges();
    if (!offset_ok)
        return usage();
    if (!path)
        return refuse("not a path on the card: " + escaped_name(argv[4]));
    if (source.fd < 0) {
        std::fprintf(stderr, "durnix: %s\n", source.why.c_str());
        return source.failure;
    }
    try {
        const card_fs fs(source.fd, offset);
        close(source.fd);
        if (command == "ls")
            return list_folder(fs, *path);
        return copy_out(fs, *path, argv[5]);
    } catch (const std::runtime_error &error) {
        std::fprintf(stderr, "durnix: %s\n", error.what());
        return exit_card;
    }
}

} // namespace durnix
