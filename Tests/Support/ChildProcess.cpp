#include "Support/ChildProcess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

extern char** environ;

namespace testsupport {

namespace {

// The test's environment with `variables` set over it.
std::vector<std::string> environmentWith(const std::vector<std::string>& variables) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const bool replaced = std::any_of(variables.begin(), variables.end(), [&](const std::string& variable) {
            const auto name = variable.substr(0, variable.find('=') + 1);
            return text.starts_with(name);
        });
        if (!replaced) {
            result.emplace_back(text);
        }
    }
    result.insert(result.end(), variables.begin(), variables.end());
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (auto& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& variables,
                           Output output) {
    int inputPipe[2];
    int outputPipe[2] = {-1, -1};
    if (::pipe2(inputPipe, O_CLOEXEC) != 0 || (output == Output::capture && ::pipe2(outputPipe, O_CLOEXEC) != 0)) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputPipe[0], STDIN_FILENO);
    if (output == Output::capture) {
        posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDOUT_FILENO);
    } else if (output == Output::discard) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    auto argumentTexts = arguments;
    auto environment = environmentWith(variables);
    auto argv = pointers(argumentTexts);
    auto envp = pointers(environment);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(inputPipe[0]);
    input_ = inputPipe[1];
    if (output == Output::capture) {
        ::close(outputPipe[1]);
        output_ = outputPipe[0];
    }
}

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::hasEnded() {
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
    }
    return pid_ <= 0;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    std::string line;
    for (char byte = 0;; line += byte) {
        pollfd readable{output_, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(timeout.count())) <= 0 || ::read(output_, &byte, 1) != 1) {
            return std::nullopt;
        }
        if (byte == '\n') {
            return line;
        }
    }
}

std::string ChildProcess::readAll() {
    std::string text;
    char buffer[4096];
    for (ssize_t n; output_ >= 0 && (n = ::read(output_, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

int ChildProcess::wait() {
    int status = 0;
    const bool ended = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::stop() {
    for (int* fd : {&input_, &output_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    if (!hasEnded()) {
        ::kill(pid_, SIGTERM);
    }
    for (int waited = 0; !hasEnded(); ++waited) {
        if (waited == 100) {
            ::kill(pid_, SIGKILL);
        }
        ::usleep(20'000);
    }
}

int run(const std::vector<std::string>& arguments, const std::vector<std::string>& variables) {
    return ChildProcess(arguments, variables, ChildProcess::Output::discard).wait();
}

}  // namespace testsupport
