// Preloaded into the programs the thread checker runs: where the checker's own handling of a
// system call goes wrong for Qt.
#include <dlfcn.h>
#include <sched.h>

#include <cstdarg>
#include <sys/types.h>

namespace {

using Clone = int (*)(int (*)(void *), void *, int, void *, ...);

// The checker's own clone(), found as the library loads, before the program starts a thread.
Clone checkedClone = nullptr;

__attribute__((constructor)) void findTheCheckersClone()
{
    checkedClone = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
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
    return checkedClone(function, stack, flags, argument, parentTid, tls, childTid);
}
