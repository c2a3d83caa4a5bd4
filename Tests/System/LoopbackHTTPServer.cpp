#include "System/LoopbackHTTPServer.hpp"

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace testsupport {

TestCertificate::TestCertificate() : certificate(folder.path() / "cert.pem"), key(folder.path() / "key.pem") {
    if (run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
             key.string(), "-out", certificate.string()}) != 0) {
        throw std::runtime_error("openssl req failed");
    }
}

LoopbackHTTPServer::LoopbackHTTPServer(const TestCertificate* tls) : tls_(tls != nullptr) {
    std::vector<std::string> arguments{"python3", ORVANE_HTTP_TEST_SERVER};
    if (tls != nullptr) {
        arguments.insert(arguments.end(), {"--cert", tls->certificate.string(), "--key", tls->key.string()});
    }
    process_.emplace(arguments, std::vector<std::string>{}, ChildProcess::Output::capture);
    // The server's first line is its port.
    port_ = std::atoi(process_->readLine().value_or("").c_str());
    if (port_ <= 0) {
        throw std::runtime_error("the loopback HTTP server did not start");
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
