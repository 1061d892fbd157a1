#include "test_support.h"

#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace test_support {

bool inPrivateNetworkNamespace() {
    const char* marker = std::getenv("UC_IN_PRIVATE_NETNS");
    if (!marker || std::string(marker) != "1") return false;
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool onlyLoopback = true;
    for (struct ifaddrs* it = list; it; it = it->ifa_next) {
        if (!(it->ifa_flags & IFF_LOOPBACK)) onlyLoopback = false;
    }
    freeifaddrs(list);
    return onlyLoopback;
}

static std::string captureFd(FILE* stream, int fd, const std::function<void()>& fn) {
    std::fflush(stream);
    char name[] = "/tmp/uc_capture_XXXXXX";
    int tmp = mkstemp(name);
    int saved = dup(fd);
    dup2(tmp, fd);
    fn();
    std::fflush(stream);
    dup2(saved, fd);
    close(saved);
    close(tmp);
    std::string text = readFile(name);
    unlink(name);
    return text;
}

std::string captureStderr(const std::function<void()>& fn) { return captureFd(stderr, 2, fn); }
std::string captureStdout(const std::function<void()>& fn) { return captureFd(stdout, 1, fn); }

long long elapsedMs(const std::function<void()>& fn) {
    auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

TempDir::TempDir() {
    char name[] = "/tmp/uc_test_XXXXXX";
    path_ = mkdtemp(name);
    char cwd[PATH_MAX];
    previous_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
    if (chdir(path_.c_str()) != 0) std::abort();
}

TempDir::~TempDir() {
    if (chdir(previous_.c_str()) != 0) std::abort();
    std::string command = "rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", path_.c_str());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

}  // namespace test_support
