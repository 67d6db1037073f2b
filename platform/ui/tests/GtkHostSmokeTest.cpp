// Opens the desktop host in a real X server. Xvfb is started by the test on a free display
// number; without Xvfb the test is skipped with a message.

#include "platform/ui/GtkHost.h"
#include "platform/ui/Screen.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace ui {
namespace {

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
        char buf[32] = {};
        ssize_t n = read(fds[0], buf, sizeof buf - 1);  // blocks until the server is ready or gone
        close(fds[0]);
        if (n > 0) {
            display_ = ":" + std::string(buf, strcspn(buf, "\n"));
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

TEST(ui_GtkHost, OpensAWindowAndDrawsTheTree) {
    XvfbServer xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); the desktop host was not tried";
    auto window = core::make<Window>();
    window->setBackgroundColor(gfx::Color::rgb(19, 181, 177));
    auto host = GtkHost::create(window, "Quillora");
    ASSERT_TRUE(host.ok()) << host.error().description;
    (*host)->show();
    // Wait for the first picture by handling events; a broken host fails after many rounds.
    for (int i = 0; i < 200000 && (*host)->drawCount() == 0; ++i) (*host)->iterate();
    EXPECT_GT((*host)->drawCount(), 0);
    int before = (*host)->drawCount();
    window->setBackgroundColor(gfx::Color::whiteColor());  // a change asks for a new picture
    for (int i = 0; i < 200000 && (*host)->drawCount() == before; ++i) (*host)->iterate();
    EXPECT_GT((*host)->drawCount(), before);
}

} // namespace
} // namespace ui
