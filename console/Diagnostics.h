#pragma once

#include <cstdio>
#include <string>

namespace faceloom {

// Where the tool's messages go. The binary prints them (ConsoleDiagnostics); tests
// collect them. Every part that reports something is handed one by the run, so no
// library code writes to the console itself.
class Diagnostics {
public:
    virtual ~Diagnostics() = default;
    // Progress and warning text for standard output, with its own line ends.
    virtual void progress(const std::string& text) = 0;
    // One error line for standard error, without its line end.
    virtual void error(const std::string& line) = 0;
    // A passing line of where a long phase stands, replacing the one before; "" takes
    // it away. Only a person watching a terminal wants these: logs and tests ignore
    // them.
    virtual void status(const std::string& /*line*/) {}
};

// Progress on standard output (or `progressStream`), flushed at once so that it
// keeps its place among the error lines when both streams share a console or a log;
// errors on standard error.
class ConsoleDiagnostics : public Diagnostics {
public:
    explicit ConsoleDiagnostics(std::FILE* progressStream = stdout);
    void progress(const std::string& text) override;
    void error(const std::string& line) override;
    // Shown on standard error, rewritten in place, when standard error is a terminal.
    void status(const std::string& line) override;

private:
    std::FILE* progressStream_;
    bool terminal_;  // standard error is a terminal
};

}  // namespace faceloom
