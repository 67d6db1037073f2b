#pragma once
// Test support: an Xvfb server on a free display, started with -displayfd so it is ready when the
// constructor returns; DISPLAY points at it while it lives. running() is false without Xvfb.

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace ui::testing {

class XvfbServer {
public:
    XvfbServer() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            // -displayfd writes the chosen display number once the server accepts connections.
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x900x24", "-nolisten", "tcp",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The server writes the number and then a newline in two writes; closing the pipe between
        // them kills it (EPIPE), so read until the newline or until the server is gone.
        std::string number;
        bool complete = false;
        for (;;) {
            char c;
            ssize_t n = read(fds[0], &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            if (c == '\n') {
                complete = !number.empty();
                break;
            }
            number += c;
        }
        close(fds[0]);
        if (complete) {
            display_ = ":" + number;
            setenv("DISPLAY", display_.c_str(), 1);
        }
    }
    ~XvfbServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool running() const { return !display_.empty(); }

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace ui::testing
