#include "carddevice.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
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

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
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

std::string mount_problem(const std::string &mountinfo, const std::vector<disk_part> &parts)
{
    std::ifstream mounts(mountinfo);
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id, parent, number, root, mount_point, field;
        fields >> id >> parent >> number >> root >> mount_point;
        while (fields >> field && field != "-") {
        }
        std::string type;
        fields >> type;
        // By device number only: the source text of a mount is anyone's to write (a user's own
        // namespace may name a tmpfs /dev/sdb).
        for (const disk_part &part : parts) {
            if (number != part.number)
                continue;
            const std::string where = mount_point_text(mount_point);
            if (!is_card_volume(type, where))
                return part.name + " holds a mounted " + type + " file system";
        }
    }
    return {};
}

// Mounts of every mount namespace on the machine, not only this process's: a card mounted by a
// container or a sandbox is in use all the same.
std::string mount_problem(const std::vector<disk_part> &parts)
{
    std::vector<std::string> seen;
    std::string problem = mount_problem("/proc/self/mountinfo", parts);
    for (const std::string &pid : folder_entries("/proc")) {
        if (!problem.empty())
            break;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        char target[64];
        const ssize_t n = readlink(("/proc/" + pid + "/ns/mnt").c_str(), target, sizeof target);
        if (n <= 0)
            continue;
        const std::string name(target, static_cast<size_t>(n));
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            continue;
        seen.push_back(name);
        problem = mount_problem("/proc/" + pid + "/mountinfo", parts);
    }
    return problem;
}

std::string use_problem(const std::vector<disk_part> &parts)
{
    for (const disk_part &part : parts) {
        if (!folder_entries(part.sys + "/holders").empty())
            return part.name + " is in use by " + folder_entries(part.sys + "/holders").front();
    }
    // A loop device set up over the card is another way in to it.
    for (const std::string &loop : folder_entries("/sys/block")) {
        const std::string backing = first_line("/sys/block/" + loop + "/loop/backing_file");
        for (const disk_part &part : parts) {
            if (backing == "/dev/" + part.name)
                return part.name + " is in use by " + loop;
        }
    }
    std::ifstream swaps("/proc/swaps");
    std::string line;
    std::getline(swaps, line); // the heading
    while (std::getline(swaps, line)) {
        const std::string file = line.substr(0, line.find_first_of(" \t"));
        for (const disk_part &part : parts) {
            if (file == "/dev/" + part.name)
                return part.name + " is used as swap";
        }
    }
    return mount_problem(parts);
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
        const std::string model = lowered(first_line(sys + "/device/model"));
        const bool card_reader =
            model.find("sd") != std::string::npos || model.find("storage") != std::string::npos;
        if (first_line(sys + "/removable") != "1" || !card_reader)
            return "not a removable SD card";
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
