// What the program writes: messages on standard error (after standard
// output is flushed, so the two never interleave mid-line) and a progress
// line that is rewritten in place on a terminal and printed at most once a
// second elsewhere.
#ifndef TOOLS_POSITIONER_OUTPUT_H
#define TOOLS_POSITIONER_OUTPUT_H

#include <chrono>
#include <string>

// Standard output line-buffered, so that every finished line leaves at once.
void setUpOutput();

// "positioner: <message>" on standard error, standard output flushed first.
void complain(const char* format, ...) __attribute__((format(printf, 1, 2)));

class Progress {
public:
    explicit Progress(bool quiet);
    ~Progress() { finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void show(const std::string& text);
    // Ends the line on a terminal; call before any other output.
    void finish();
    // Ends with text as the last line, shown once (also with quiet).
    void conclude(const std::string& text);

private:
    bool quiet_;
    bool terminal_;
    bool lineOpen_ = false;
    std::string last_;
    std::chrono::steady_clock::time_point lastPrinted_{};
};

#endif
