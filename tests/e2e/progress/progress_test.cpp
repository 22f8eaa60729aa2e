// The progress bar as a user sees it: a flash download on the simulated chip with standard error
// on a terminal (a pseudo-terminal here) draws and wipes the bar there, and leaves standard
// output exactly as it is when standard error is a pipe.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program_runner.h"

namespace fs = std::filesystem;
using namespace quillon::testing;

namespace {

const fs::path buildDir = QUILLON_BUILD_DIR;

// Runs the program with standard error on a new pseudo-terminal; returns {stdout, terminal}.
std::pair<std::string, std::string> runWithTerminalErrors(const std::vector<std::string>& args) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(grantpt(master), 0);
    EXPECT_EQ(unlockpt(master), 0);
    const std::string slavePath = ptsname(master);
    std::array<int, 2> out{};
    EXPECT_EQ(pipe(out.data()), 0);
    const pid_t child = fork();
    if (child == 0) {
        const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
        dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        setenv("LD_LIBRARY_PATH", (buildDir / "sim").c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(QUILLON_PROGRAM)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(QUILLON_PROGRAM, argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string output, terminal;
    std::array<pollfd, 2> fds{pollfd{out[0], POLLIN, 0}, pollfd{master, POLLIN, 0}};
    while (fds[0].fd >= 0 && poll(fds.data(), fds.size(), 30000) > 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                std::array<char, 4096> buffer{};
                const ssize_t n = read(fds[i].fd, buffer.data(), buffer.size());
                if (n <= 0) {
                    fds[i].fd = -1; // the terminal's end reads EIO once the program is gone
                } else {
                    (i == 0 ? output : terminal).append(buffer.data(), static_cast<size_t>(n));
                }
            }
        }
    }
    waitpid(child, nullptr, 0);
    close(out[0]);
    close(master);
    return {output, terminal};
}

} // namespace

TEST(Progress, ABarOnTheTerminalAndStandardOutputUnchanged) {
    // A whole ATmega16 flash: long enough (over a second of page waits) for the bar to show.
    const fs::path hex =
        fs::temp_directory_path() / ("quillon-progress-" + std::to_string(getpid()) + ".hex");
    {
        std::ofstream file(hex);
        for (int address = 0; address < 16384; address += 16) {
            std::array<char, 64> line{};
            std::snprintf(line.data(), line.size(), ":10%04X00", address);
            int sum = 0x10 + (address >> 8) + (address & 0xFF);
            file << line.data();
            for (int i = 0; i < 16; ++i) {
                file << "A5";
                sum += 0xA5;
            }
            std::snprintf(line.data(), line.size(), "%02X\n", (-sum) & 0xFF);
            file << line.data();
        }
        file << ":00000001FF\n";
    }
    const std::vector<std::string> args{"-df" + hex.string()};
    const auto [output, terminal] = runWithTerminalErrors(args);

    ProgramOptions piped;
    piped.args = args;
    piped.env["LD_LIBRARY_PATH"] = (buildDir / "sim").string();
    const ProgramRun plain = runProgram(QUILLON_PROGRAM, piped);
    fs::remove(hex);

    EXPECT_EQ(withoutDelayValue(output), withoutDelayValue(plain.out));
    EXPECT_NE(output.find("Target matches "), std::string::npos) << output;
    EXPECT_EQ(plain.err, ""); // nothing drawn on a pipe
    EXPECT_NE(terminal.find("\rProgramming flash ["), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("/16384 bytes"), std::string::npos) << terminal;
    // Every bar is wiped: the terminal's last characters are spaces between two returns.
    ASSERT_GE(terminal.size(), 3U);
    EXPECT_EQ(terminal.back(), '\r');
    EXPECT_EQ(terminal.find_last_not_of(' ', terminal.size() - 2),
              terminal.rfind('\r', terminal.size() - 2));
}
