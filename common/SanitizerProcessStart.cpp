// Process starts in a ThreadSanitizer build (linked into every program and test of such a build).
//
// Qt starts a QProcess with clone(CLONE_VM | CLONE_VFORK): the child runs on the parent's memory
// until it executes the program. The sanitizer's runtime (gcc 12) handles that clone as if it were
// a fork, in the child, on the shared memory: the parent is left marked as forked with threads, so
// its checks stop and its next thread start ends the process. Here such a clone becomes a real
// fork, which the runtime handles (the child only executes the program, as it does where Qt has
// no pidfd support); the process's pidfd is opened for Qt as the clone would have returned it.
// Every other clone goes on to the runtime unchanged.
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    va_list more;
    va_start(more, arg);
    int* parentTid = va_arg(more, int*);
    void* tls = va_arg(more, void*);
    int* childTid = va_arg(more, int*);
    va_end(more);

    constexpr int vforkLike = CLONE_VM | CLONE_VFORK;
    constexpr int threadLike = CLONE_THREAD | CLONE_SETTLS | CLONE_PARENT_SETTID | CLONE_CHILD_SETTID | CLONE_CHILD_CLEARTID;
    if ((flags & vforkLike) == vforkLike && !(flags & threadLike)) {
        const pid_t pid = fork();
        if (pid == 0)
            _exit(fn(arg));
        if (pid < 0)
            return -1;
        if (flags & CLONE_PIDFD) {
            const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); // close-on-exec
            if (fd < 0) {
                const int error = errno;
                kill(pid, SIGKILL);
                errno = error;
                return -1;
            }
            *parentTid = fd;
        }
        return pid;
    }
    using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
    static const auto next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
