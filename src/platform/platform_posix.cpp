// SPDX-License-Identifier: MIT
// POSIX side of the platform layer: dlopen, the process clock (the processor time this process
// has used, or the monotonic clock where that isn't available), poll() on standard input, and
// the interrupt signals.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace quillon::platform {

std::string libraryFileName(std::string_view baseName) {
    return "lib" + std::string(baseName) + ".so";
}

namespace {

std::string loadError; // the loader's reason for the last failed loadLibrary, or empty

} // namespace

LibraryHandle loadLibrary(std::string_view baseName) {
    // A bare file name makes the dynamic loader search LD_LIBRARY_PATH, then the program's
    // RUNPATH ($ORIGIN, the program's folder), then the system's library folders.
    const std::string name = libraryFileName(baseName);
    LibraryHandle library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    loadError.clear();
    if (library == nullptr) {
        const char* reason = dlerror();
        // Only when the search found no file of the name does the loader's text begin with the
        // bare name; a file it found and refused is named by its path, a missing dependency by
        // that dependency's name.
        const std::string notFound = name + ": cannot open shared object file";
        if (reason != nullptr && std::string_view(reason).substr(0, notFound.size()) != notFound) {
            loadError = reason;
        }
    }
    return library;
}

std::string libraryLoadError() {
    return loadError;
}

void* findEntryPoint(LibraryHandle library, const char* name) {
    return library != nullptr ? dlsym(library, name) : nullptr;
}

void freeLibrary(LibraryHandle library) {
    if (library != nullptr) {
        dlclose(library);
    }
}

std::int64_t clockMillis() {
    // Processor time first: time the machine gives to other processes doesn't count, so a busy
    // machine can't make the delay calibration too short. The monotonic clock is the fallback.
    timespec now{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) {
        clock_gettime(CLOCK_MONOTONIC, &now);
    }
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

namespace {

volatile std::sig_atomic_t receivedSignal = 0;

// Only this is done inside the handler: everything else waits for the program's next look.
void noteSignal(int signal) {
    if (receivedSignal == 0) {
        receivedSignal = signal;
    }
}

// While it lives, a terminal on standard input delivers single key presses without echo, so a
// key press is seen at once instead of after the next Enter. Off a terminal, or when this
// process runs in the background (where changing the mode would stop it with SIGTTOU, and the
// mode belongs to the foreground job anyway), it does nothing.
class SingleKeyMode {
  public:
    SingleKeyMode() {
        if (isatty(STDIN_FILENO) == 1 && tcgetpgrp(STDIN_FILENO) == getpgrp() &&
            tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios keys = saved_;
            keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
            keys.c_cc[VMIN] = 1;
            keys.c_cc[VTIME] = 0;
            active_ = tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0;
        }
    }
    ~SingleKeyMode() {
        if (active_) {
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        }
    }
    SingleKeyMode(const SingleKeyMode&) = delete;
    SingleKeyMode& operator=(const SingleKeyMode&) = delete;

  private:
    termios saved_{};
    bool active_ = false;
};

// Polls standard input; timeoutMillis -1 blocks. Readable data, end of input, a hang-up and a
// closed descriptor all count as "a key is waiting", so that nothing waits forever on input
// that can never come.
bool inputReady(int timeoutMillis) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        const int ready = poll(&input, 1, timeoutMillis);
        if (ready > 0) {
            return true;
        }
        if (ready == 0) {
            return false;
        }
        if (errno != EINTR) {
            return true; // standard input can't be polled: don't wait on it
        }
        if (receivedSignal != 0) {
            return false;
        }
    }
}

// The longest step of the key wait: a signal that comes just before a step begins is seen at
// the end of that step.
constexpr int keyWaitStepMillis = 200;

} // namespace

void openStandardStreams() {
    // Descriptors are handed out lowest first: with standard output closed, the next file opened
    // (a chip's memory file, a device) would take descriptor 1 and receive what is printed.
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd) {
                close(opened); // some other descriptor went first: leave it as it was
            }
        }
    }
}

void watchForInterrupts() {
    // A reader that went away (quillon ... | head -1) is noticed as a failed write to standard
    // output, at the next byte boundary like an interrupt, not by being killed mid-command.
    (void)std::signal(SIGPIPE, SIG_IGN);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) {
            continue;
        }
        action = {};
        action.sa_handler = noteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: a blocked read of the prompt's input ends
        (void)sigaction(signal, &action, nullptr);
    }
}

int interruptSignal() {
    if (receivedSignal == 0 && std::ferror(stdout) != 0) {
        return SIGPIPE; // standard output can't be written: as if its reader had gone
    }
    return receivedSignal;
}

bool keyWaiting() {
    SingleKeyMode keys;
    return inputReady(0);
}

void waitForKey() {
    SingleKeyMode keys;
    while (receivedSignal == 0 && !inputReady(keyWaitStepMillis)) {
    }
}

bool errorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

} // namespace quillon::platform
