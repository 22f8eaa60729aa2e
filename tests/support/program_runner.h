// SPDX-License-Identifier: MIT
// Runs the built program (or any program) as a child process for end-to-end tests: arguments,
// extra environment, standard input, a time limit; captures standard output and error (the
// latter from a pipe, or from a terminal as a user's console would show it).
#pragma once

#include <chrono>
#include <csignal>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon::testing {

struct ProgramRun {
    std::string out;
    std::string err;
    int status = -1; // the exit status, or -1 when the program did not exit normally
    bool timedOut = false;
};

// Where the program's standard output goes.
enum class Output {
    captured,   // a pipe read to its end
    brokenPipe, // a pipe whose reader has gone: every write fails (SIGPIPE at its default)
    closed,     // no descriptor 1 at all
};

struct ProgramOptions {
    std::vector<std::string> args;             // after the program name
    std::map<std::string, std::string> env;    // set (or, with an empty value, unset)
    std::optional<std::string> input;          // standard input; none: empty
    std::chrono::milliseconds timeout{120000}; // long: the machine may be busy
    int timeoutSignal = SIGKILL;               // sent to the program at the time limit
    bool errorOnTerminal = false; // standard error on a pseudo-terminal instead of a pipe
    Output output = Output::captured;
};

[[nodiscard]] ProgramRun runProgram(const std::string& program, const ProgramOptions& options);

// The program's output with its first line, the calibrated delay (which differs from run to run),
// replaced by "Delay parameter for 1 usec is N\n".
[[nodiscard]] std::string withoutDelayValue(const std::string& out);

// An Intel HEX file's text in lower case and without CR, to compare two files record for record.
[[nodiscard]] std::string hexRecords(const std::string& path);

// The banner as printed after the delay line.
[[nodiscard]] std::string bannerText();

} // namespace quillon::testing
