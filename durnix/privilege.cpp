#include "privilege.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace durnix {

namespace {

std::string first_line(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

bool running_elevated()
{
    return geteuid() != getuid() || getegid() != getgid();
}

std::string accepted_card_device(const std::string &path, std::string *why)
{
    // Resolved once, to a node under /dev that only root can replace, and used from then on: a
    // link the caller controls cannot be switched to another disk after the check.
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved) || std::string(resolved).rfind("/dev/", 0) != 0) {
        *why = "not a device under /dev";
        return {};
    }
    struct stat st
    {
    };
    if (stat(resolved, &st) != 0 || !S_ISBLK(st.st_mode)) {
        *why = "not a block device";
        return {};
    }
    const std::string sys = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                            std::to_string(minor(st.st_rdev));
    struct stat partition
    {
    };
    if (stat((sys + "/partition").c_str(), &partition) == 0) {
        *why = "a partition, not a whole disk";
        return {};
    }
    char device_path[PATH_MAX];
    const bool on_mmc = realpath(sys.c_str(), device_path) &&
                        std::string(device_path).find("/mmc") != std::string::npos;
    const bool removable = first_line(sys + "/removable") == "1";
    const std::string model = lowered(first_line(sys + "/device/model"));
    const bool card_reader =
        model.find("sd") != std::string::npos || model.find("storage") != std::string::npos;
    if (!on_mmc && !(removable && card_reader)) {
        *why = "not a removable SD card";
        return {};
    }
    return resolved;
}

void drop_privileges()
{
    const gid_t gid = getgid();
    const uid_t uid = getuid();
    if ((geteuid() == 0 && setgroups(0, nullptr) != 0) || setresgid(gid, gid, gid) != 0 ||
        setresuid(uid, uid, uid) != 0) {
        std::fputs("durnix: cannot give up elevated rights\n", stderr);
        std::_Exit(2);
    }
    if (uid != 0 && (setuid(0) == 0 || seteuid(0) == 0)) {
        std::fputs("durnix: elevated rights came back\n", stderr);
        std::_Exit(2);
    }
}

} // namespace durnix
