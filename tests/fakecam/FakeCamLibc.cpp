// The C library's entry points for the emulated /dev/videoN node (with the aliases and
// checked variants glibc routes them through). Everything else passes to the real libc.

#include "tests/fakecam/FakeCam.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace fakecam;

namespace {

// The node is only ever named by its full path, so the *at() forms need not resolve dirfd.

int nodeAbsent()
{
    errno = ENOENT;
    return -1;
}

// poll() and ppoll() on a set that holds node fds: the kernel waits on their eventfds (asked
// for POLLIN only), and the node then says what they report.
template <typename Wait>
int pollNodes(pollfd* pFds, nfds_t nFds, int nTimeoutMs, Wait wait)
{
    bool bAny = false;
    for (nfds_t i = 0; i < nFds && !bAny; ++i)
        bAny = pFds[i].fd >= 0 && isNodeFd(pFds[i].fd);
    if (!bAny)
        return wait(pFds, nFds, nTimeoutMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    std::vector<short> asked(nFds);
    std::vector<bool> node(nFds);
    for (;;) {
        for (nfds_t i = 0; i < nFds; ++i) {
            asked[i] = pFds[i].events;
            node[i] = pFds[i].fd >= 0 && isNodeFd(pFds[i].fd);
            if (node[i])
                pFds[i].events = POLLIN;
        }
        int nLeft = nTimeoutMs;
        if (nTimeoutMs > 0)
            nLeft = int(std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 deadline - std::chrono::steady_clock::now()).count()));
        const int r = wait(pFds, nFds, nLeft);
        int nReady = 0;
        for (nfds_t i = 0; i < nFds; ++i) {
            pFds[i].events = asked[i];
            if (r > 0 && node[i])
                pFds[i].revents = nodeRevents(pFds[i].fd, asked[i]);
            nReady += pFds[i].revents != 0;
        }
        // A node fd can wake the wait and be empty again before we look: wait on.
        if (r <= 0 || nReady > 0 || nLeft == 0)
            return r <= 0 ? r : nReady;
    }
}

int statNode(const char* pszPath, struct stat* pSt)
{
    if (!present())
        return nodeAbsent();
    (void)pszPath;
    nodeStat(pSt);
    return 0;
}

int accessNode(int nMode)
{
    if (!present())
        return nodeAbsent();
    if (switches().bNoPerm && (nMode & (R_OK | W_OK))) {
        errno = EACCES;
        return -1;
    }
    return 0;
}

} // namespace

// The library is built with hidden symbols; these are what it exists to export.
#pragma GCC visibility push(default)
extern "C" {

// The mode argument is there only when the call may create a file.
#define FAKECAM_PASS_OPEN(real, ...)                                                      \
    va_list ap;                                                                           \
    va_start(ap, nFlags);                                                                 \
    const mode_t nMode = (nFlags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;       \
    va_end(ap);                                                                           \
    return FAKECAM_REAL(real)(__VA_ARGS__, nFlags, nMode)

int open(const char* pszPath, int nFlags, ...)
{
    if (isNodePath(pszPath))
        return nodeOpen(nFlags);
    FAKECAM_PASS_OPEN(open, pszPath);
}

int open64(const char* pszPath, int nFlags, ...)
{
    if (isNodePath(pszPath))
        return nodeOpen(nFlags);
    FAKECAM_PASS_OPEN(open64, pszPath);
}

int openat(int dirfd, const char* pszPath, int nFlags, ...)
{
    if (isNodePath(pszPath))
        return nodeOpen(nFlags);
    FAKECAM_PASS_OPEN(openat, dirfd, pszPath);
}

int openat64(int dirfd, const char* pszPath, int nFlags, ...)
{
    if (isNodePath(pszPath))
        return nodeOpen(nFlags);
    FAKECAM_PASS_OPEN(openat64, dirfd, pszPath);
}

// The checked forms a fortified build calls.
int __open_2(const char* pszPath, int nFlags) { return open(pszPath, nFlags); }
int __open64_2(const char* pszPath, int nFlags) { return open64(pszPath, nFlags); }
int __openat_2(int dirfd, const char* pszPath, int nFlags) { return openat(dirfd, pszPath, nFlags); }
int __openat64_2(int dirfd, const char* pszPath, int nFlags) { return openat64(dirfd, pszPath, nFlags); }

int close(int fd)
{
    if (fd >= 0 && isNodeFd(fd))
        nodeClose(fd);
    return FAKECAM_REAL(close)(fd);
}

int ioctl(int fd, unsigned long nRequest, ...) noexcept
{
    va_list ap;
    va_start(ap, nRequest);
    void* pArg = va_arg(ap, void*);
    va_end(ap);
    if (fd >= 0 && isNodeFd(fd))
        return nodeIoctl(fd, nRequest, pArg);
    return FAKECAM_REAL(ioctl)(fd, nRequest, pArg);
}

void* mmap(void* pAddr, size_t nLength, int nProt, int nFlags, int fd, off_t nOffset) noexcept
{
    if (fd >= 0 && !(nFlags & MAP_ANONYMOUS) && isNodeFd(fd))
        return nodeMmap(pAddr, nLength, nProt, nFlags, fd, nOffset);
    return FAKECAM_REAL(mmap)(pAddr, nLength, nProt, nFlags, fd, nOffset);
}

void* mmap64(void* pAddr, size_t nLength, int nProt, int nFlags, int fd, off64_t nOffset) noexcept
{
    return mmap(pAddr, nLength, nProt, nFlags, fd, off_t(nOffset));
}

int poll(pollfd* pFds, nfds_t nFds, int nTimeoutMs)
{
    return pollNodes(pFds, nFds, nTimeoutMs, [](pollfd* p, nfds_t n, int t) { return FAKECAM_REAL(poll)(p, n, t); });
}

int __poll_chk(pollfd* pFds, nfds_t nFds, int nTimeoutMs, size_t) { return poll(pFds, nFds, nTimeoutMs); }

int ppoll(pollfd* pFds, nfds_t nFds, const timespec* pTimeout, const sigset_t* pMask)
{
    const int nMs = pTimeout ? int(pTimeout->tv_sec * 1000 + (pTimeout->tv_nsec + 999999) / 1000000) : -1;
    return pollNodes(pFds, nFds, nMs, [pMask](pollfd* p, nfds_t n, int t) {
        timespec ts{t / 1000, long(t % 1000) * 1000000};
        return FAKECAM_REAL(ppoll)(p, n, t < 0 ? nullptr : &ts, pMask);
    });
}

int __ppoll_chk(pollfd* pFds, nfds_t nFds, const timespec* pTimeout, const sigset_t* pMask, size_t)
{
    return ppoll(pFds, nFds, pTimeout, pMask);
}

// What stat() and access() say about the node: a character device of the video group.
int stat(const char* pszPath, struct stat* pSt) noexcept
{
    return isNodePath(pszPath) ? statNode(pszPath, pSt) : FAKECAM_REAL(stat)(pszPath, pSt);
}

int lstat(const char* pszPath, struct stat* pSt) noexcept
{
    return isNodePath(pszPath) ? statNode(pszPath, pSt) : FAKECAM_REAL(lstat)(pszPath, pSt);
}

int stat64(const char* pszPath, struct stat64* pSt) noexcept
{
    return isNodePath(pszPath) ? statNode(pszPath, reinterpret_cast<struct stat*>(pSt)) : FAKECAM_REAL(stat64)(pszPath, pSt);
}

int lstat64(const char* pszPath, struct stat64* pSt) noexcept
{
    return isNodePath(pszPath) ? statNode(pszPath, reinterpret_cast<struct stat*>(pSt)) : FAKECAM_REAL(lstat64)(pszPath, pSt);
}

int fstatat(int dirfd, const char* pszPath, struct stat* pSt, int nFlags) noexcept
{
    return isNodePath(pszPath) ? statNode(pszPath, pSt) : FAKECAM_REAL(fstatat)(dirfd, pszPath, pSt, nFlags);
}

int fstatat64(int dirfd, const char* pszPath, struct stat64* pSt, int nFlags) noexcept
{
    return isNodePath(pszPath) ? statNode(pszPath, reinterpret_cast<struct stat*>(pSt))
                                     : FAKECAM_REAL(fstatat64)(dirfd, pszPath, pSt, nFlags);
}

int fstat(int fd, struct stat* pSt) noexcept
{
    if (fd >= 0 && isNodeFd(fd))
        return nodeStat(pSt), 0;
    return FAKECAM_REAL(fstat)(fd, pSt);
}

int fstat64(int fd, struct stat64* pSt) noexcept
{
    if (fd >= 0 && isNodeFd(fd))
        return nodeStat(reinterpret_cast<struct stat*>(pSt)), 0;
    return FAKECAM_REAL(fstat64)(fd, pSt);
}

int statx(int dirfd, const char* pszPath, int nFlags, unsigned int nMask, struct statx* pSt) noexcept
{
    if (!isNodePath(pszPath))
        return FAKECAM_REAL(statx)(dirfd, pszPath, nFlags, nMask, pSt);
    struct stat st;
    if (statNode(pszPath, &st) != 0)
        return -1;
    *pSt = {};
    pSt->stx_mask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_GID;
    pSt->stx_mode = uint16_t(st.st_mode);
    pSt->stx_nlink = 1;
    pSt->stx_gid = st.st_gid;
    pSt->stx_rdev_major = major(st.st_rdev);
    pSt->stx_rdev_minor = minor(st.st_rdev);
    return 0;
}

int access(const char* pszPath, int nMode) noexcept
{
    return isNodePath(pszPath) ? accessNode(nMode) : FAKECAM_REAL(access)(pszPath, nMode);
}

int faccessat(int dirfd, const char* pszPath, int nMode, int nFlags) noexcept
{
    return isNodePath(pszPath) ? accessNode(nMode) : FAKECAM_REAL(faccessat)(dirfd, pszPath, nMode, nFlags);
}

int euidaccess(const char* pszPath, int nMode) noexcept
{
    return isNodePath(pszPath) ? accessNode(nMode) : FAKECAM_REAL(euidaccess)(pszPath, nMode);
}

} // extern "C"
#pragma GCC visibility pop
