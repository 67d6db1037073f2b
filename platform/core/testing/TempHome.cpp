#include "platform/core/testing/TempHome.h"

#include "platform/core/UserDefaults.h"

#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace core::testkit {

TempHome::TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillora-home-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary home");
    path_ = pattern;
    if (const char* h = std::getenv("HOME")) {
        hadHome_ = true;
        oldHome_ = h;
    }
    ::setenv("HOME", path_.c_str(), 1);
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) ::unsetenv(v);
    UserDefaults::resetStandardForTesting();
}

TempHome::~TempHome() {
    if (hadHome_) ::setenv("HOME", oldHome_.c_str(), 1); else ::unsetenv("HOME");
    UserDefaults::resetStandardForTesting();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

int runTestInChildProcess(const std::string& fullTestName) {
    std::string filter = "--gtest_filter=" + fullTestName;
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    char* argv[] = {self.data(), filter.data(), const_cast<char*>("--gtest_also_run_disabled_tests"), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace core::testkit
