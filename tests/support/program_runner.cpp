// SPDX-License-Identifier: MIT
#include "program_runner.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sstream>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::testing {

ProgramRun runProgram(const std::string& program, const ProgramOptions& options) {
    // Standard input is an in-memory file: the program reads the input, then its end at once.
    const int input = memfd_create("input", MFD_CLOEXEC);
    const std::string text = options.input.value_or("");
    std::array<int, 2> out{-1, -1};
    std::array<int, 2> err{-1, -1};
    if (input < 0 || write(input, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
        lseek(input, 0, SEEK_SET) != 0 || pipe2(out.data(), O_CLOEXEC) != 0 ||
        (!options.errorOnTerminal && pipe2(err.data(), O_CLOEXEC) != 0)) {
        throw std::runtime_error("can't set up the program's input and output");
    }
    if (options.errorOnTerminal && (err[0] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) >= 0 &&
        grantpt(err[0]) == 0 && unlockpt(err[0]) == 0) {
        err[1] = open(ptsname(err[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    const pid_t child = err[1] < 0 ? -1 : fork();
    if (child == 0) {
        setpgid(0, 0); // a group of its own, so that a timeout ends whatever it started too
        dup2(input, STDIN_FILENO);
        dup2(err[1], STDERR_FILENO);
        if (options.output == Output::closed) {
            close(STDOUT_FILENO);
        } else {
            dup2(out[1], STDOUT_FILENO);
        }
        (void)signal(SIGPIPE, SIG_DFL); // as a shell starts a program
        for (const auto& [name, value] : options.env) {
            (void)(value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1));
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : options.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    for (const int fd : {input, out[1], err[1]}) {
        close(fd);
    }
    if (child < 0) {
        throw std::runtime_error("can't start " + program);
    }
    setpgid(child, child); // as the child does, whichever runs first
    if (options.output == Output::brokenPipe) {
        close(out[0]); // the reader goes away before the program writes
        out[0] = open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    // Each output is read to its end (a terminal's end reads as an error) while the program runs.
    const auto readAll = [](int fd) {
        std::string all;
        std::array<char, 65536> buffer;
        for (ssize_t n = 0; (n = read(fd, buffer.data(), buffer.size())) > 0;) {
            all.append(buffer.data(), static_cast<std::size_t>(n));
        }
        close(fd);
        return all;
    };
    auto outText = std::async(std::launch::async, readAll, out[0]);
    auto errText = std::async(std::launch::async, readAll, err[0]);
    ProgramRun run;
    if (outText.wait_for(options.timeout) == std::future_status::timeout) {
        run.timedOut = true;
        kill(-child, options.timeoutSignal);
        if (outText.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
            kill(-child, SIGKILL); // it didn't end on the signal it was given
        }
    }
    run.out = outText.get();
    run.err = errText.get();
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string withoutDelayValue(const std::string& out) {
    const std::string prefix = "Delay parameter for 1 usec is ";
    const auto end = out.find('\n');
    return out.rfind(prefix, 0) != 0 ? out : prefix + "N" + out.substr(std::min(end, out.size()));
}

std::string hexRecords(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    std::string lines = text.str();
    std::erase(lines, '\r');
    std::ranges::transform(lines, lines.begin(), [](char c) { return std::tolower(c); });
    return lines;
}

std::string bannerText() {
    return "Quillon Programming Utility V0.97\n"
           "Copyright (c) the quillon developers; free software under the MIT license, see "
           "LICENSE\n"
           "Type 'e' to exit, 'p' to pause, 'h' for help)\n\n";
}

} // namespace quillon::testing
