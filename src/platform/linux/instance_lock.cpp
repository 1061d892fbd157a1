// Instance locks on Linux: an exclusive flock on a lock file under /tmp
// named from the lock name. flock belongs to the open file description, so
// a second open of the same name, in this process or another, is refused;
// the kernel drops the lock when the holder closes the file or ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "kernel_objects.h"
#include "sim_driver_state.h"

namespace plat {

namespace {

constexpr const char* kLockDirectory = "/tmp/";
constexpr const char* kLockPrefix = "uc-instance-";
constexpr size_t kMaxNameLength = 200;

struct InstanceLockObject : KernelObject {
    explicit InstanceLockObject(int descriptor) : KernelObject(Kind::InstanceLock), fd(descriptor) {}
    ~InstanceLockObject() override { ::close(fd); }
    const int fd;
};

// Lock names may hold any character but '/' and NUL in a file name.
std::string lockPath(const char* name) {
    std::string path = std::string(kLockDirectory) + kLockPrefix;
    for (const char* c = name; *c; ++c) path += (*c == '/') ? '_' : *c;
    return path + ".lock";
}

}  // namespace

Handle createInstanceLock(const char* name) {
    if (!name || !*name || std::char_traits<char>::length(name) > kMaxNameLength) {
        setLastError(kErrorInvalidParameter);
        return kNullHandle;
    }
    if (simdrv::consumeFault(simdrv::Fault::InstanceLock)) {
        setLastError(kErrorNotEnoughMemory);
        return kNullHandle;
    }
    // Read-only suffices for flock and works on a file another user made.
    // Close-on-exec: a started program must not keep the device locked
    // after its parent has released it or ended.
    int fd = ::open(lockPath(name).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        setLastError(kErrorInvalidHandle);
        return kNullHandle;
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    const bool held = locked == 0;
    if (!held && errno != EWOULDBLOCK) {
        ::close(fd);
        setLastError(kErrorInvalidHandle);
        return kNullHandle;
    }
    Handle h = handleInsert(std::make_shared<InstanceLockObject>(fd));
    setLastError(held ? kErrorSuccess : kErrorAlreadyExists);
    return h;
}

}  // namespace plat
