#pragma once
// Test support: a private HOME for the duration of a test, and a way to run part of a test in a
// second process (to prove that what was stored survives the process).

#include <string>

namespace core::testkit {

// Points HOME at a new temporary folder (and clears the XDG variables) while it lives, and makes
// the standard settings re-read their file. The folder is removed afterwards.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string oldHome_;
    bool hadHome_ = false;
};

// Runs the named test of this test binary in a new process with the current environment and
// returns its exit status (0 when the test passed). The test is usually a DISABLED_ one, so it
// only runs when a parent asks for it.
int runTestInChildProcess(const std::string& fullTestName);

} // namespace core::testkit
