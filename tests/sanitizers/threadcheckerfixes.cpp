// Preloaded into the programs the thread checker runs: two places where the checker's own
// handling of a system call goes wrong for Qt.
#include <dlfcn.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <sys/types.h>

namespace {

using Clone = int (*)(int (*)(void *), void *, int, void *, ...);
using Map = void *(*)(void *, size_t, int, int, int, off_t);
using Unmap = int (*)(void *, size_t);

// The checker's own versions, found once it is running. Before that (the checker maps memory
// for itself while it starts) the calls go to the kernel directly.
std::atomic<Clone> checkedClone;
std::atomic<Map> checkedMap;
std::atomic<Unmap> checkedUnmap;

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

__attribute__((constructor)) void findTheCheckersCalls()
{
    checkedClone = next<Clone>("clone");
    checkedMap = next<Map>("mmap64");
    checkedUnmap = next<Unmap>("munmap");
}

} // namespace

// Qt starts a program with clone() sharing the parent's memory until the child calls exec
// (vfork's way). The checker's clone() then does its after-fork bookkeeping twice on the parent's
// one thread state, once in the child and once in the parent, and from then on the parent's main
// thread ignores every lock it takes: each access a lock guards becomes a reported race. Started
// as a plain fork instead, the child gets a copy of its own, which Qt supports as well.
extern "C" int clone(int (*function)(void *), void *stack, int flags, void *argument, ...)
{
    va_list more;
    va_start(more, argument);
    auto *parentTid = va_arg(more, pid_t *);
    void *tls = va_arg(more, void *);
    auto *childTid = va_arg(more, pid_t *);
    va_end(more);
    constexpr int sharedUntilExec = CLONE_VM | CLONE_VFORK;
    if ((flags & sharedUntilExec) == sharedUntilExec)
        flags &= ~sharedUntilExec;
    return checkedClone.load()(function, stack, flags, argument, parentTid, tls, childTid);
}

// The checker forgets what it knew of an address range when the program maps or unmaps it, but
// not when a library it was told to set aside (Qt Core) does: a file Qt maps where a thread's
// stack used to be would carry that thread's accesses. Called from here, the checker takes the
// call for the program's own.
extern "C" void *mmap64(void *address, size_t length, int protection, int flags, int fd,
                        off_t offset)
{
    if (const Map checked = checkedMap.load())
        return checked(address, length, protection, flags, fd, offset);
    return reinterpret_cast<void *>(
        syscall(SYS_mmap, address, length, protection, flags, fd, offset));
}

extern "C" void *mmap(void *address, size_t length, int protection, int flags, int fd,
                      off_t offset)
{
    return mmap64(address, length, protection, flags, fd, offset);
}

extern "C" int munmap(void *address, size_t length)
{
    if (const Unmap checked = checkedUnmap.load())
        return checked(address, length);
    return static_cast<int>(syscall(SYS_munmap, address, length));
}
