// HTTPClientURLSession: the HTTPClient over a URLSession (libcurl underneath;
// see Platform/Network/URLSession.hpp for the transport's defaults).
//
// The session is made on the first get() with the default session
// configuration and kept for the client's lifetime, so every request of one
// client shares its connections and cookies; when several threads make their
// first call at once, exactly one session is made. The client adds no
// headers, retries, cache or time limits of its own: it classifies what the
// session reports, in this order:
//   - a transport error     → failure "Received error: " + the error's description
//   - an HTTP status < 400  → success with the body (empty when the server sent none)
//   - an HTTP status >= 400 → failure "Received http error code: " + the status;
//                             the body is dropped
//   - no HTTP response      → failure "Received unexpected response: " + "nil", or
//                             "Optional(" + the response's description + ")"
// Each failure is tarvelapple::errorWithDebugDescription(message). A message
// never holds the URL's user name, password or query.
//
// Threads: the callback runs on the session's serial delivery queue (a worker
// thread), never on the calling thread and never on the main thread, one
// callback at a time per client. The session's I/O thread is the only thread
// the client adds (libcurl's resolver makes short-lived ones for lookups).
//
// Lifetime: the client owns its session and releases it (never cancelling
// it) when destroyed; requests still in flight then complete and call back.
// Destroying the client inside one of its own callbacks is safe. Requests
// cannot be cancelled.
//
// Thread safety: get may be called from any thread, concurrently.
//
//   auto client = std::make_shared<orvane::HTTPClientURLSession>();
//   client->get(*orvane::URL::fromString("https://example.org/"), [](auto result) {
//       if (result.isFailure()) NSLog(result.errorIf()->what());
//   });
#pragma once

#include "System/HTTPClient.hpp"

#include <functional>
#include <memory>
#include <mutex>

namespace orvane {

class URLSession;
struct URLSessionConfiguration;
struct HTTPClientURLSessionOptions;

class HTTPClientURLSession final : public HTTPClient {
public:
    HTTPClientURLSession();
    // A client whose session is made by `options` (HTTPClientURLSessionInternal.hpp).
    explicit HTTPClientURLSession(const HTTPClientURLSessionOptions& options);
    ~HTTPClientURLSession() override;
    HTTPClientURLSession(const HTTPClientURLSession&) = delete;
    HTTPClientURLSession& operator=(const HTTPClientURLSession&) = delete;

    void get(const URL& url, Completion onComplete) override;

private:
    using SessionFactory = std::function<std::shared_ptr<URLSession>()>;

    SessionFactory makeSession_;
    std::mutex sessionMutex_;
    std::shared_ptr<URLSession> session_;  // guarded by sessionMutex_; made once, never replaced
};

}  // namespace orvane
