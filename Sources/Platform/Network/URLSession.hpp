// URLSession: the URL-loading session, on libcurl's multi interface.
//
// A session runs its transfers on one I/O thread of its own, made with the
// session and woken (curl_multi_wakeup) whenever a task is resumed. Its
// transfers share one connection pool, one DNS cache and one in-memory cookie
// store; connections are reused between sequential requests to the same host
// and HTTP/2 streams are multiplexed where a server offers it. Settings come
// from URLSessionConfiguration (the platform's defaults when made with
// defaultSessionConfiguration()); nothing is cached.
//
// A data task fetches its URL with a GET and reports (body, response, error)
// once, on the session's delivery queue: a private serial DispatchQueue, so
// completions run one at a time on a worker thread, never on the I/O thread (a
// slow completion does not hold up transfers), never on the main thread and
// never inside resume(). On success the body is present (empty when the
// server sent none) and the response is an HTTPURLResponse, whatever its
// status; on a transport failure only the error is present: an NSError in
// NSURLErrorDomain (URLError.hpp) whose text never holds a URL's user
// information or query.
//
// A hostile server cannot make the session hold more than
// `maximumBodySize` bytes of one body (a larger Content-Length fails at once,
// without allocating it; a larger decoded body fails when it passes the
// limit), nor keep a request alive longer than the configured timeouts.
//
// Lifetime: releasing the session does not cancel its tasks (the session is
// released, not invalidated): tasks already resumed still run and report.
// The I/O thread ends by itself once the session is released and no transfer
// is left; it is never joined, so releasing a session inside one of its own
// completions is safe. libcurl is initialised once per process
// (curl_global_init) and never cleaned up. libcurl's threaded resolver makes
// short-lived threads of its own for name lookups.
//
// Thread safety: every operation may be called from any thread.
//
//   auto session = orvane::URLSession::sessionWithConfiguration(
//       orvane::URLSessionConfiguration::defaultSessionConfiguration());
//   session->dataTaskWithURL(*orvane::URL::fromString("https://example.org/"),
//       [](std::optional<orvane::Data> body, std::shared_ptr<orvane::URLResponse> response,
//          std::optional<orvane::NSError> error) { ... })->resume();
#pragma once

#include "Platform/Foundation/Data.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Foundation/NSError.hpp"
#include "Platform/Network/URLResponse.hpp"
#include "Platform/Network/URLSessionConfiguration.hpp"
#include "Platform/Foundation/URL.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace orvane {

class URLSessionDataTask;

class URLSession {
    struct Token {
        explicit Token() = default;
    };

public:
    using CompletionHandler = std::function<void(std::optional<Data> data, std::shared_ptr<URLResponse> response,
                                                 std::optional<NSError> error)>;
    class Engine;

    static std::shared_ptr<URLSession> sessionWithConfiguration(URLSessionConfiguration configuration);

    URLSession(Token, URLSessionConfiguration configuration);
    ~URLSession();
    URLSession(const URLSession&) = delete;
    URLSession& operator=(const URLSession&) = delete;

    // A task for a GET of `url`; nothing happens until it is resumed.
    std::shared_ptr<URLSessionDataTask> dataTaskWithURL(const URL& url, CompletionHandler completionHandler);

    const URLSessionConfiguration& configuration() const { return configuration_; }
    // The serial queue completions run on.
    const std::shared_ptr<DispatchQueue>& delegateQueue() const { return delegateQueue_; }

private:
    URLSessionConfiguration configuration_;
    std::shared_ptr<DispatchQueue> delegateQueue_;
    std::shared_ptr<Engine> engine_;
};

class URLSessionDataTask {
public:
    URLSessionDataTask(std::shared_ptr<URLSession::Engine> engine, URL url,
                       URLSession::CompletionHandler completionHandler);
    URLSessionDataTask(const URLSessionDataTask&) = delete;
    URLSessionDataTask& operator=(const URLSessionDataTask&) = delete;

    // Starts the transfer; later calls do nothing. The task need not be kept.
    void resume();

    const URL& originalRequestURL() const { return url_; }

private:
    std::shared_ptr<URLSession::Engine> engine_;
    URL url_;
    std::atomic<bool> resumed_{false};
    URLSession::CompletionHandler completionHandler_;
};

}  // namespace orvane
