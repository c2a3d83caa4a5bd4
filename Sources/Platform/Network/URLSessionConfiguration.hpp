// URLSessionConfiguration: the settings a URLSession is made with.
//
// defaultSessionConfiguration() is the platform's default: a plain GET that
// follows at most `maximumRedirects` redirects between http and https URLs,
// accepts every content encoding the transport can decode, keeps cookies in
// memory for the session, gives up when no byte arrives for
// `timeoutIntervalForRequest` seconds, when a connection is not made within
// `connectTimeout`, or when the whole request takes longer than
// `timeoutIntervalForResource`; verifies TLS against the system's trust
// store; uses HTTP/2 where the server offers it and proxies from the usual
// environment variables. Nothing is cached.
//
// `caFile` and `maximumBodySize` exist so that tests (and tools) can trust a
// private certificate authority or cap a body at a smaller size; an empty
// `caFile` means the system store.
//
// Value type.
//
//   auto configuration = orvane::URLSessionConfiguration::defaultSessionConfiguration();
//   configuration.timeoutIntervalForRequest = 5;
//   auto session = orvane::URLSession::sessionWithConfiguration(configuration);
#pragma once

#include <cstddef>
#include <string>

namespace orvane {

struct URLSessionConfiguration {
    static URLSessionConfiguration defaultSessionConfiguration() { return {}; }

    // Seconds without a received byte before a request fails (timed out).
    double timeoutIntervalForRequest = 60;
    // Seconds a whole request may take: seven days.
    double timeoutIntervalForResource = 7 * 24 * 60 * 60;
    // Seconds to establish a connection (TLS handshake included).
    double connectTimeout = 60;
    int maximumRedirects = 20;
    // A body larger than this (after decoding) fails the request.
    std::size_t maximumBodySize = std::size_t{64} << 20;
    // A PEM file of trusted certificate authorities; empty: the system store.
    std::string caFile;
};

}  // namespace orvane
