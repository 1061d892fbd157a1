// Helpers shared by the test programs.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <chrono>
#include <functional>
#include <string>

namespace test_support {

// True when every network interface of this process is a loopback
// interface, i.e. the test runs in a private namespace made for it.
bool inPrivateNetworkNamespace();

// Runs fn with standard error (or standard output) redirected to a file and
// returns what was written.
std::string captureStderr(const std::function<void()>& fn);
std::string captureStdout(const std::function<void()>& fn);

// Milliseconds taken by fn.
long long elapsedMs(const std::function<void()>& fn);

// Makes and enters a fresh temporary directory; leaves it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previous_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace test_support

// Skips the current test unless it runs in a private network namespace.
#define REQUIRE_PRIVATE_NETWORK()                                                \
    do {                                                                         \
        if (!test_support::inPrivateNetworkNamespace())                          \
            GTEST_SKIP() << "not in a private network namespace; network tests " \
                            "run only under tests/support/netns-run.sh";         \
    } while (0)

#endif
