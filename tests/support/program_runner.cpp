#include "program_runner.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::testing {

namespace {

void closeQuietly(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

} // namespace

ProgramRun runProgram(const std::string& program, const ProgramOptions& options) {
    std::array<int, 2> in{-1, -1}, out{-1, -1}, err{-1, -1};
    if (pipe(out.data()) != 0 || pipe(err.data()) != 0 || (options.input && pipe(in.data()) != 0)) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        if (options.input) {
            dup2(in[0], STDIN_FILENO);
        } else {
            const int devNull = open("/dev/null", O_RDONLY);
            dup2(devNull, STDIN_FILENO);
        }
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            if (fd > STDERR_FILENO) {
                close(fd);
            }
        }
        for (const auto& [name, value] : options.env) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : options.args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    closeQuietly(in[0]);
    closeQuietly(out[1]);
    closeQuietly(err[1]);

    ProgramRun run;
    std::string_view pending = options.input ? std::string_view(*options.input) : "";
    if (in[1] >= 0) {
        fcntl(in[1], F_SETFL, O_NONBLOCK);
        if (pending.empty()) {
            closeQuietly(in[1]);
        }
    }
    signal(SIGPIPE, SIG_IGN);
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    while (out[0] >= 0 || err[0] >= 0) {
        std::array<pollfd, 3> fds{pollfd{out[0], POLLIN, 0}, pollfd{err[0], POLLIN, 0},
                                  pollfd{in[1], POLLOUT, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0 && errno != EINTR) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                std::array<char, 65536> buffer;
                const ssize_t n = read(fds[i].fd, buffer.data(), buffer.size());
                int& fd = i == 0 ? out[0] : err[0];
                if (n <= 0) {
                    closeQuietly(fd);
                } else {
                    (i == 0 ? run.out : run.err).append(buffer.data(), static_cast<size_t>(n));
                }
            }
        }
        if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t n = write(in[1], pending.data(), pending.size());
            if (n > 0) {
                pending.remove_prefix(static_cast<size_t>(n));
            }
            if (n < 0 || pending.empty()) {
                closeQuietly(in[1]);
            }
        }
    }
    closeQuietly(in[1]);
    closeQuietly(out[0]);
    closeQuietly(err[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string withoutDelayValue(const std::string& out) {
    const std::string prefix = "Delay parameter for 1 usec is ";
    if (out.rfind(prefix, 0) != 0) {
        return out;
    }
    const auto end = out.find('\n');
    return prefix + "N" + (end == std::string::npos ? "" : out.substr(end));
}

std::string bannerText() {
    return "Quillon Programming Utility V0.97\n"
           "Copyright (c) the quillon developers; free software, see README.md\n"
           "Type 'e' to exit, 'p' to pause, 'h' for help)\n\n";
}

} // namespace quillon::testing
