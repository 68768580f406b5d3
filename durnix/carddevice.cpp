#include "carddevice.h"

#include "base/cardreader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace durnix {

namespace {

std::string first_line(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// With the effective rights: access() would ask with the caller's.
bool exists(const std::string &path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0;
}

// What udev recorded of the device ("E:KEY=VALUE" lines), written by root's udevd alone.
std::map<std::string, std::string> udev_properties(dev_t device)
{
    std::map<std::string, std::string> properties;
    std::ifstream data("/run/udev/data/b" + std::to_string(major(device)) + ":" +
                       std::to_string(minor(device)));
    std::string line;
    while (std::getline(data, line)) {
        const size_t equals = line.find('=');
        if (line.rfind("E:", 0) == 0 && equals != std::string::npos)
            properties[line.substr(2, equals - 2)] = line.substr(equals + 1);
    }
    return properties;
}

bool is_device_name(const std::string &name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.';
    });
}

std::vector<std::string> folder_entries(const std::string &path)
{
    std::vector<std::string> names;
    if (DIR *folder = opendir(path.c_str())) {
        while (const dirent *e = readdir(folder)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(folder);
    }
    return names;
}

// A block device of the disk: the disk itself or one of its partitions.
struct disk_part
{
    std::string name;   // as under /dev
    std::string number; // "major:minor"
    std::string sys;    // its sysfs folder
};

std::vector<disk_part> disk_and_partitions(const std::string &sys, dev_t device)
{
    char resolved[PATH_MAX];
    const std::string disk_sys = realpath(sys.c_str(), resolved) ? resolved : sys;
    const std::string disk_name = disk_sys.substr(disk_sys.rfind('/') + 1);
    std::vector<disk_part> parts{
        {disk_name, std::to_string(major(device)) + ":" + std::to_string(minor(device)), sys}};
    for (const std::string &name : folder_entries(sys)) {
        const std::string part_sys = sys + "/" + name;
        if (exists(part_sys + "/partition"))
            parts.push_back({name, first_line(part_sys + "/dev"), part_sys});
    }
    return parts;
}

// Mount points in mountinfo write blanks and the like as octal escapes.
std::string mount_point_text(const std::string &field)
{
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            text += static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

bool is_card_volume(const std::string &type, const std::string &mount_point)
{
    const bool fat = type == "vfat" || type == "exfat" || type == "msdos";
    const bool removable_media = mount_point.rfind("/media/", 0) == 0 ||
                                 mount_point.rfind("/run/media/", 0) == 0 ||
                                 mount_point.rfind("/mnt/", 0) == 0;
    return fat && removable_media;
}

// Whether the desktop has `part` mounted as the card's FAT volume, in this process's mount table:
// the one use of the card that may go on while durnix reads it.
bool mounted_as_card_volume(const disk_part &part)
{
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, number, root, mount_point, field;
        fields >> id >> parent >> number >> root >> mount_point;
        while (fields >> field && field != "-") {
        }
        std::string type;
        fields >> type;
        // By device number only: the source text of a mount is anyone's to write.
        if (number == part.number && is_card_volume(type, mount_point_text(mount_point)))
            return true;
    }
    return false;
}

// The device node of a block device number, looked up by number in /dev: a partition's name
// in sysfs need not be its node's.
std::string device_node(const std::string &number)
{
    for (const std::string &name : folder_entries("/dev")) {
        struct stat st
        {
        };
        const std::string path = "/dev/" + name;
        if (lstat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
            std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) == number)
            return path;
    }
    return {};
}

enum class claim
{
    free,
    busy,
    unknown
};

// Asks the kernel: an exclusive open fails while the device is mounted, in any mount namespace,
// or claimed by device mapper, RAID or swap. Nothing else is done with the descriptor.
claim exclusive_claim(const disk_part &part)
{
    const std::string node = device_node(part.number);
    if (node.empty())
        return claim::unknown;
    const int fd = open(node.c_str(), O_RDONLY | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        close(fd);
        return claim::free;
    }
    return errno == EBUSY ? claim::busy : claim::unknown;
}

std::string use_problem(const std::vector<disk_part> &parts)
{
    for (const disk_part &part : parts) {
        if (!folder_entries(part.sys + "/holders").empty())
            return part.name + " is in use by " + folder_entries(part.sys + "/holders").front();
    }
    // A loop device set up over the card is another way in to it, and claims nothing.
    for (const std::string &loop : folder_entries("/sys/block")) {
        const std::string backing = first_line("/sys/block/" + loop + "/loop/backing_file");
        for (const disk_part &part : parts) {
            if (backing == "/dev/" + part.name)
                return part.name + " is in use by " + loop;
        }
    }
    // Every partition but the mounted FAT volume must be free. While a partition is claimed the
    // kernel counts the whole disk as claimed too, so the disk itself is asked only when none is.
    bool volume_mounted = false;
    for (size_t k = 1; k < parts.size(); ++k) {
        const claim state = exclusive_claim(parts[k]);
        if (state == claim::busy && mounted_as_card_volume(parts[k]))
            volume_mounted = true;
        else if (state == claim::busy)
            return parts[k].name + " is mounted or in use";
        else if (state == claim::unknown)
            return "cannot tell whether " + parts[k].name + " is in use";
    }
    if (volume_mounted)
        return {};
    switch (exclusive_claim(parts.front())) {
    case claim::free:
        return {};
    case claim::busy:
        return parts.front().name + " is mounted or in use";
    case claim::unknown:
        break;
    }
    return "cannot tell whether " + parts.front().name + " is in use";
}

} // namespace

std::string card_device_problem(dev_t device)
{
    const std::string sys =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    if (exists(sys + "/partition"))
        return "a partition, not a whole disk";
    char resolved[PATH_MAX];
    const bool on_mmc =
        realpath(sys.c_str(), resolved) && std::string(resolved).find("/mmc") != std::string::npos;
    if (on_mmc) {
        if (first_line(sys + "/device/type") != "SD")
            return "built-in storage on the mmc bus, not an SD card";
    } else {
        if (first_line(sys + "/removable") != "1" ||
            !korvane::identifiesAsCardReader(first_line(sys + "/device/model"),
                                             udev_properties(device)))
            return "not a removable SD card reader";
    }
    return use_problem(disk_and_partitions(sys, device));
}

int open_card_device(const std::string &path, std::string *why)
{
    const std::string prefix = "/dev/";
    if (path.rfind(prefix, 0) != 0 || !is_device_name(path.substr(prefix.size()))) {
        *why = "with elevated rights durnix reads only a device named /dev/NAME";
        return -1;
    }
    struct stat named
    {
    };
    if (lstat(path.c_str(), &named) != 0 || !S_ISBLK(named.st_mode)) {
        *why = path + " is not a block device";
        return -1;
    }
    if (const std::string problem = card_device_problem(named.st_rdev); !problem.empty()) {
        *why = path + ": " + problem;
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    struct stat opened
    {
    };
    if (fd < 0 || fstat(fd, &opened) != 0 || !S_ISBLK(opened.st_mode) ||
        opened.st_rdev != named.st_rdev) {
        if (fd >= 0)
            close(fd);
        *why = path + " cannot be opened as the device it was checked as";
        return -1;
    }
    return fd;
}

} // namespace durnix
