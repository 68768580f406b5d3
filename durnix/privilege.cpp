#include "privilege.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

namespace durnix {

bool running_elevated()
{
    return geteuid() != getuid() || getegid() != getgid();
}

void ensure_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) != fd)
            std::_Exit(2);
    }
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
