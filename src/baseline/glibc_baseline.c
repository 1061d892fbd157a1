/* Definitions the shared libraries keep to themselves (the version scripts
 * export none of them), for the symbols that glibc 2.17 lacks or that newer
 * glibc headers bind to a newer version. References from the libraries'
 * own objects and from the statically linked libstdc++ resolve here at link
 * time, so the loaded libraries ask the system's glibc for none of them. */
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#if !defined(__x86_64__) && !defined(__aarch64__)
#error "glibc_baseline.c: the stat system calls below are those of x86-64 and aarch64"
#endif

/* GCC 12's libstdc++ skips atomic reference counts while this reads
 * nonzero (glibc 2.32). Zero, "threads may run", is always correct. */
char __libc_single_threaded = 0;

/* glibc 2.33 made stat and fstat functions of their own (they were inline
 * calls of __xstat before). On x86-64 and aarch64 the kernel's struct stat
 * is glibc's, so the system calls fill it as glibc does. */
int stat(const char* path, struct stat* buf) { return (int)syscall(SYS_newfstatat, AT_FDCWD, path, buf, 0); }

int fstat(int fd, struct stat* buf) { return (int)syscall(SYS_fstat, fd, buf); }
