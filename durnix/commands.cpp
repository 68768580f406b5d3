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
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace durnix {

namespace {

constexpr int exit_failed = 1;
constexpr int exit_usage = 2;

const char usage_text[] =
    "usage: durnix ls DEVICE OFFSET FOLDER\n"
    "       durnix read [--salvage] DEVICE OFFSET PATH LOCALFILE\n"
    "       durnix --help | --version\n"
    "\n"
    "Reads the ext4 file system that starts OFFSET bytes into DEVICE (an SD card or a card\n"
    "image), never writing to it. DEVICE may be --fd N: the card as descriptor N, open for\n"
    "reading and inherited from the program that starts durnix (as UDisks2 hands it out).\n"
    "FOLDER and PATH are relative to its root (cfg, mov/normal, cfg/bbox.ini; . is the root),\n"
    "and may be written as ls lists names.\n"
    "\n"
    "ls    prints one line per entry of FOLDER on standard output, \".\" and \"..\" included,\n"
    "      in three columns separated by one blank: the inode number, the name, the size\n"
    "      in bytes.\n"
    "read  copies the file PATH to LOCALFILE, replacing it only once the copy is whole;\n"
    "      an interrupted copy leaves nothing behind. Holes, blocks set aside but never\n"
    "      written and a tail the file never wrote are zeros, and holes in LOCALFILE.\n"
    "      With --salvage, parts that cannot be read (a damaged block map, blocks the card\n"
    "      cannot read) are zeros too: each is named on standard error with its bytes,\n"
    "      everything else is copied, and the exit status is 1 when anything was lost.\n"
    "\n"
    "Names are printed as UTF-8. Every byte that is not part of a visible character (controls,\n"
    "blanks, invisible and direction-changing characters, invalid UTF-8), the slash and the\n"
    "backslash are written as a backslash and three octal digits: a blank is \\040, a\n"
    "backslash \\134. ls and read take names written either way.\n"
    "\n"
    "Messages go to standard error, each line beginning with \"durnix: \". --help and --version\n"
    "count only as the one argument: a card's file may be named --help.\n"
    "\n"
    "Installed set-user-ID root, durnix reads only a whole-disk SD card named /dev/NAME at\n"
    "offset 104857600, and gives up its rights before it reads the file system. A descriptor\n"
    "it inherits is read with the caller's own rights.\n"
    "\n"
    "Exit status: 0 done; 1 failed (DEVICE refused or unreadable, FOLDER or PATH not found,\n"
    "LOCALFILE not written, damaged entries left out of a listing that shows the rest, or\n"
    "parts of a salvaged file lost);\n"
    "2 usage error.\n";

int usage_error(const std::string &what)
{
    const std::string usage = usage_text;
    std::fprintf(stderr, "durnix: %s\n%sRun 'durnix --help' for the output and exit statuses.\n",
                 what.c_str(), usage.substr(0, usage.find("\n\n") + 1).c_str());
    return exit_usage;
}

int fail(const std::string &why)
{
    std::fprintf(stderr, "durnix: %s\n", why.c_str());
    return exit_failed;
}

std::string shown_path(const std::vector<std::string> &parts)
{
    std::string text;
    for (const std::string &part : parts)
        text += (text.empty() ? "" : "/") + escaped_name(part);
    return text.empty() ? "." : text;
}

// An argument as the user wrote it, its slashes kept, anything that could act on the terminal
// escaped.
std::string shown_argument(const std::string &argument)
{
    std::string text;
    size_t start = 0;
    for (size_t slash; (slash = argument.find('/', start)) != std::string::npos; start = slash + 1)
        text += escaped_name(argument.substr(start, slash - start)) + "/";
    return "'" + text + escaped_name(argument.substr(start)) + "'";
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
        return fail(std::string("cannot write the listing: ") + std::strerror(errno));
    return damaged ? exit_failed : 0;
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
             const std::string &destination, bool salvage)
{
    // The copy is renamed into place: a folder, device or pipe there would be replaced.
    struct stat st
    {
    };
    if (stat(destination.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return fail("cannot write " + destination +
                    (S_ISDIR(st.st_mode) ? ": a folder" : ": not a regular file"));
    const int fd = create_temporary(destination);
    if (fd < 0)
        return fail("cannot write " + destination + ": " + std::strerror(errno));
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::vector<lost_bytes> lost;
    try {
        if (salvage)
            salvage_to_descriptor(fs, path, fd, lost);
        else
            copy_to_descriptor(fs, path, fd);
        if (close(fd) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot write the copy");
    } catch (const std::system_error &error) {
        remove_temporary_file();
        return fail("cannot write " + destination + ": " + error.code().message());
    } catch (const std::runtime_error &error) {
        close(fd);
        remove_temporary_file();
        return fail("cannot copy " + shown_path(path) + ": " + error.what());
    }
    if (rename(temporary_path, destination.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        remove_temporary_file();
        return fail("cannot write " + destination + ": " + why);
    }
    has_temporary = 0;
    uint64_t missing = 0;
    for (const lost_bytes &gone : lost) {
        std::fprintf(stderr, "durnix: %s: bytes %llu to %llu lost, written as zeros: %s\n",
                     shown_path(path).c_str(), static_cast<unsigned long long>(gone.first),
                     static_cast<unsigned long long>(gone.end - 1), gone.why.c_str());
        missing += gone.end - gone.first;
    }
    if (missing == 0)
        return 0;
    std::fprintf(stderr, "durnix: %s: %llu bytes lost\n", shown_path(path).c_str(),
                 static_cast<unsigned long long>(missing));
    return exit_failed;
}

struct opened_source
{
    int fd = -1;
    std::string why; // when there is no descriptor
};

// A descriptor the caller opened for us: it is read with the caller's rights alone, and is
// not handed on to anything durnix starts.
opened_source inherited_source(int fd)
{
    opened_source source;
    if (running_elevated())
        drop_privileges();
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0)
        source.why = "no descriptor " + std::to_string(fd) + " to read the card from";
    else if (!S_ISBLK(st.st_mode) && !S_ISREG(st.st_mode))
        source.why = "descriptor " + std::to_string(fd) + " is no card or card image";
    else if ((fcntl(fd, F_GETFL) & O_ACCMODE) == O_WRONLY)
        source.why = "descriptor " + std::to_string(fd) + " is not open for reading";
    else
        source.fd = fd;
    if (source.fd >= 0)
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    return source;
}

// The device or image as a descriptor. With elevated rights only an SD card qualifies, and
// every right is given up before anything of it is read.
opened_source open_source(const std::string &device, uint64_t offset)
{
    opened_source source;
    if (!running_elevated()) {
        source.fd = open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        struct stat st
        {
        };
        if (source.fd < 0) {
            source.why = "cannot read " + device + ": " + std::strerror(errno);
        } else if (fstat(source.fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            close(source.fd);
            source.fd = -1;
            source.why = "cannot read " + device + ": a folder, not a card or card image";
        }
        return source;
    }
    if (offset != card_offset)
        source.why =
            "with elevated rights durnix reads only at offset " + std::to_string(card_offset);
    else
        source.fd = open_card_device(device, &source.why);
    drop_privileges();
    return source;
}

std::optional<uint64_t> byte_count(const std::string &text)
{
    uint64_t value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

// What was wrong with the command line, or "" when the command can run.
std::string usage_problem(const std::vector<std::string> &args)
{
    if (args.empty())
        return "no command given";
    const std::string &command = args[0];
    if (command == "ls" && args.size() != 4)
        return "ls takes DEVICE OFFSET FOLDER";
    if (command == "read" && args.size() != 5)
        return "read takes [--salvage] DEVICE OFFSET PATH LOCALFILE";
    if (command != "ls" && command != "read")
        return (command.starts_with('-') ? "unknown option " : "unknown command ") +
               shown_argument(command);
    if (!byte_count(args[2]))
        return "OFFSET is not a number of bytes: " + shown_argument(args[2]);
    if (!card_path_parts(args[3]))
        return "not a path on the card (relative, without empty, . or .. parts): " +
               shown_argument(args[3]);
    return "";
}

} // namespace

int run(int argc, char **argv)
{
    if (running_elevated())
        ensure_standard_descriptors();
    std::vector<std::string> args(argv + 1, argv + argc);
    // Only right after "read": a device could be named anything further on.
    const bool salvage = args.size() >= 2 && args[0] == "read" && args[1] == "--salvage" &&
                         (args.size() == 6 || (args.size() == 7 && args[2] == "--fd"));
    if (salvage)
        args.erase(args.begin() + 1);
    // "--fd N" stands where the device would: one argument from here on, named for messages.
    std::optional<int> inherited;
    if (args.size() >= 3 && args[1] == "--fd") {
        int fd = -1;
        const auto parsed = std::from_chars(args[2].data(), args[2].data() + args[2].size(), fd);
        if (parsed.ec != std::errc() || parsed.ptr != args[2].data() + args[2].size() || fd < 0)
            return usage_error("--fd takes a descriptor number: " + shown_argument(args[2]));
        inherited = fd;
        args.erase(args.begin() + 1);
        args[1] = "descriptor " + std::to_string(fd);
    }
    // Only as the first argument: a card's file may be named "--help".
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("durnix (%s) %s, build %s\n", KORVANE_APP_NAME, KORVANE_APP_VERSION,
                    KORVANE_APP_BUILD);
        return 0;
    }
    const std::string problem = usage_problem(args);
    if (!problem.empty()) {
        if (running_elevated())
            drop_privileges();
        return usage_error(problem);
    }

    const std::string &device = args[1];
    const uint64_t offset = *byte_count(args[2]);
    const std::vector<std::string> path = *card_path_parts(args[3]);
    const opened_source source =
        inherited ? inherited_source(*inherited) : open_source(device, offset);
    if (running_elevated())
        drop_privileges();
    if (source.fd < 0)
        return fail(source.why);
    std::optional<card_fs> fs;
    try {
        fs.emplace(source.fd, offset);
        close(source.fd);
    } catch (const std::runtime_error &error) {
        close(source.fd);
        return fail("cannot read " + device + ": " + error.what());
    }
    try {
        if (args[0] == "ls")
            return list_folder(*fs, path);
        return copy_out(*fs, path, args[4], salvage);
    } catch (const std::runtime_error &error) {
        return fail("cannot read " + shown_path(path) + " on " + device + ": " + error.what());
    }
}

} // namespace durnix
