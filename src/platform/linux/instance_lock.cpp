// Instance locks on Linux: an exclusive flock on a lock file under /tmp
// named from the lock name. flock belongs to the open file description, so
// a second open of the same name, in this process or another, is refused;
// the kernel drops the lock when the holder closes the file or ends.
// The holder removes the file when it lets go; a taker that locked a file
// that was removed meanwhile (it no longer is the one under the name)
// drops it and tries again, so two holders can never coexist.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "kernel_objects.h"

namespace plat {

namespace {

constexpr const char* kLockDirectory = "/tmp/";
constexpr const char* kLockPrefix = "uc-instance-";
constexpr size_t kMaxNameLength = 200;
constexpr int kAttempts = 5;

struct InstanceLockObject : KernelObject {
    InstanceLockObject(int descriptor, std::string file, bool holds)
        : KernelObject(Kind::InstanceLock), fd(descriptor), path(std::move(file)), held(holds) {}
    ~InstanceLockObject() override {
        if (held) ::unlink(path.c_str());  // still locked: nobody can take it in between
        ::close(fd);
    }
    const int fd;
    const std::string path;
    const bool held;
};

// Lock names may hold any character but '/' and NUL in a file name.
std::string lockPath(const char* name) {
    std::string path = std::string(kLockDirectory) + kLockPrefix;
    for (const char* c = name; *c; ++c) path += (*c == '/') ? '_' : *c;
    return path + ".lock";
}

bool stillNamed(int fd, const std::string& path) {
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

enum class Taken { Held, Refused, Failed, Stale };

Taken lockOnce(int fd, const std::string& path) {
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) return errno == EWOULDBLOCK ? Taken::Refused : Taken::Failed;
    return stillNamed(fd, path) ? Taken::Held : Taken::Stale;
}

}  // namespace

Handle os::createInstanceLock(const char* name) {
    if (!name || !*name || std::char_traits<char>::length(name) > kMaxNameLength) {
        setLastError(kErrorInvalidParameter);
        return kNullHandle;
    }
    const std::string path = lockPath(name);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Read-only suffices for flock and works on a file another user
        // made. Close-on-exec: a started program must not keep the device
        // locked after its parent has released it or ended.
        int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) break;
        const Taken taken = lockOnce(fd, path);
        if (taken == Taken::Stale || taken == Taken::Failed) {
            ::close(fd);
            if (taken == Taken::Failed) break;
            continue;
        }
        const bool held = taken == Taken::Held;
        Handle h = handleInsert(std::make_shared<InstanceLockObject>(fd, path, held));
        setLastError(held ? kErrorSuccess : kErrorAlreadyExists);
        return h;
    }
    setLastError(kErrorInvalidHandle);
    return kNullHandle;
}

}  // namespace plat
