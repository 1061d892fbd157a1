#include "output.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>

namespace {
constexpr auto kPipedInterval = std::chrono::seconds(1);
}

void setUpOutput() { std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ); }

void complain(const char* format, ...) {
    std::fflush(stdout);
    std::fputs("positioner: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

Progress::Progress(bool quiet) : quiet_(quiet), terminal_(isatty(STDOUT_FILENO) != 0) {}

void Progress::show(const std::string& text) {
    if (quiet_ || text == last_) return;
    const auto now = std::chrono::steady_clock::now();
    if (terminal_) {
        std::printf("\r%-72s", text.c_str());
        std::fflush(stdout);
        lineOpen_ = true;
    } else if (last_.empty() || now - lastPrinted_ >= kPipedInterval) {
        std::printf("%s\n", text.c_str());
        lastPrinted_ = now;
    } else {
        return;  // not printed: the next change after the interval is
    }
    last_ = text;
}

void Progress::finish() {
    if (lineOpen_) std::printf("\n");
    lineOpen_ = false;
}

void Progress::conclude(const std::string& text) {
    if (terminal_ && !quiet_) {
        std::printf("\r%-72s\n", text.c_str());
        lineOpen_ = false;
    } else if (quiet_ || text != last_) {
        std::printf("%s\n", text.c_str());
    }
    last_ = text;
}
