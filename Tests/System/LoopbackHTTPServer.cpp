#include "System/LoopbackHTTPServer.hpp"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

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
    std::string command = "exec python3 '" ORVANE_HTTP_TEST_SERVER "'";
    if (tls != nullptr) {
        command += " --cert '" + tls->certificate.string() + "' --key '" + tls->key.string() + "'";
    }
    // The server's first line is its port, its second its process id.
    output_ = popen(command.c_str(), "re");
    if (output_ == nullptr || std::fscanf(output_, "%d %d", &port_, &pid_) != 2) {
        throw std::runtime_error("the loopback HTTP server did not start");
    }
}

LoopbackHTTPServer::~LoopbackHTTPServer() {
    kill(pid_, SIGTERM);
    pclose(output_);
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
