// LoopbackHTTPServer: runs Tests/Support/http_test_server.py on 127.0.0.1 for
// the length of a test, on a free port it picks itself, plain or with TLS.
// TestCertificate makes a throwaway self-signed certificate for 127.0.0.1 with
// `openssl req`. Both clean up after themselves.
//
//   LoopbackHTTPServer server;
//   auto url = server.url("/text");   // "http://127.0.0.1:<port>/text"
#pragma once

#include "Support/ChildProcess.hpp"
#include "Support/TemporaryFolder.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

struct TestCertificate {
    TestCertificate();
    TemporaryFolder folder;
    std::filesystem::path certificate;
    std::filesystem::path key;
};

class LoopbackHTTPServer {
public:
    explicit LoopbackHTTPServer(const TestCertificate* tls = nullptr);

    int port() const { return port_; }
    std::string url(const std::string& path) const;

private:
    std::optional<ChildProcess> process_;
    int port_ = 0;
    bool tls_ = false;
};

// Removes the proxy variables libcurl reads, so requests go straight to loopback.
void clearProxyEnvironment();

}  // namespace testsupport
