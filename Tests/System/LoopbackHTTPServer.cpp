#include "System/LoopbackHTTPServer.hpp"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace testsupport {

TestCertificate::TestCertificate() : certificate(folder.path() / "cert.pem"), key(folder.path() / "key.pem") {
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        key.string() + "' -out '" + certificate.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("openssl req failed");
    }
}

LoopbackHTTPServer::LoopbackHTTPServer(const TestCertificate* tls) : tls_(tls != nullptr) {
    std::vector<std::string> arguments{"python3", ORVANE_HTTP_TEST_SERVER};
    if (tls != nullptr) {
        arguments.insert(arguments.end(), {"--cert", tls->certificate.string(), "--key", tls->key.string()});
    }
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int output[2];
    if (pipe(output) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(output[1], STDOUT_FILENO);
        close(output[0]);
        close(output[1]);
        execvp("python3", argv.data());
        _exit(127);
    }
    close(output[1]);
    // The server's first line is its port.
    std::string line;
    char c = 0;
    while (read(output[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(output[0]);
    port_ = std::atoi(line.c_str());
    if (pid_ < 0 || port_ <= 0) {
        throw std::runtime_error("the loopback HTTP server did not start");
    }
}

LoopbackHTTPServer::~LoopbackHTTPServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string LoopbackHTTPServer::url(const std::string& path) const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

void clearProxyEnvironment() {
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                             "no_proxy", "NO_PROXY"}) {
        unsetenv(name);
    }
}

}  // namespace testsupport
