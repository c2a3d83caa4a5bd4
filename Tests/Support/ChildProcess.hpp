// ChildProcess: a program an integration test runs beside itself — a fake
// service, a probe, dbus-daemon, gdbus — with variables added to the test's
// environment. Its standard input is a pipe the test holds (a probe may run
// until it closes); its output goes to the test's own, to /dev/null, or to a
// pipe the test reads. Destruction ends what is still running: the input is
// closed, then SIGTERM, and SIGKILL 2 s later.
//
//   testsupport::ChildProcess probe({"probe", "--watch"}, {"LANG=C"}, Output::capture);
//   EXPECT_EQ(probe.readLine(), "ready");
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    enum class Output { inherit, discard, capture };

    // `arguments[0]` is searched in PATH; `variables` are NAME=VALUE texts.
    explicit ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& variables = {},
                          Output output = Output::inherit);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The process id; -1 when it could not be started or has been reaped.
    pid_t pid() const { return pid_; }
    // Whether it has ended (reaping it if so); a process never started has.
    bool hasEnded();
    // The next line of captured output, or nothing when none comes within `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Everything it writes until it closes its output.
    std::string readAll();
    // Waits for the end; the exit status, or -1 when it did not start or was killed.
    int wait();
    // Ends it now, as destruction does.
    void stop();

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

// Runs a program to its end, its output discarded; its exit status (-1 when
// it could not run).
int run(const std::vector<std::string>& arguments, const std::vector<std::string>& variables = {});

}  // namespace testsupport
