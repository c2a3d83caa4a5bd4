// Internal to the library and its tests (not installed): how an
// HTTPClientURLSession makes its session, and how it classifies a task's end.
//
// HTTPClientURLSessionOptions lets a test trust its own certificate
// authority, shorten the timeouts or lower the body limit (through
// `configuration`) and watch session creation (through `makeSession`, which
// defaults to URLSession::sessionWithConfiguration).
//
//   orvane::HTTPClientURLSessionOptions options;
//   options.configuration.caFile = "/tmp/test-ca.pem";
//   orvane::HTTPClientURLSession client(options);
#pragma once

#include "Platform/Network/URLSession.hpp"
#include "System/HTTPClientURLSession.hpp"

#include <functional>
#include <memory>

namespace orvane {

struct HTTPClientURLSessionOptions {
    URLSessionConfiguration configuration = URLSessionConfiguration::defaultSessionConfiguration();
    std::function<std::shared_ptr<URLSession>(const URLSessionConfiguration&)> makeSession;
};

// The client's result for what a data task reported.
Result<std::optional<Data>, NSError> classifyHTTPClientCompletion(std::optional<Data> data,
                                                                  const std::shared_ptr<URLResponse>& response,
                                                                  const std::optional<NSError>& error);

}  // namespace orvane
