#include "System/HTTPClientURLSession.hpp"

#include "Core/TarvelApple.hpp"
#include "System/HTTPClientURLSessionInternal.hpp"

namespace orvane {

Result<std::optional<Data>, NSError> classifyHTTPClientCompletion(std::optional<Data> data,
                                                                  const std::shared_ptr<URLResponse>& response,
                                                                  const std::optional<NSError>& error) {
    using ClientResult = Result<std::optional<Data>, NSError>;
    if (error) {
        return ClientResult::failure(tarvelapple::errorWithDebugDescription("Received error: " + error->description()));
    }
    if (const auto* http = dynamic_cast<const HTTPURLResponse*>(response.get())) {
        if (http->statusCode() < 400) {
            return ClientResult::success(std::move(data));
        }
        return ClientResult::failure(tarvelapple::errorWithDebugDescription("Received http error code: " +
                                                                            std::to_string(http->statusCode())));
    }
    const std::string shown = response ? "Optional(" + response->description() + ")" : "nil";
    return ClientResult::failure(tarvelapple::errorWithDebugDescription("Received unexpected response: " + shown));
}

HTTPClientURLSession::HTTPClientURLSession() : HTTPClientURLSession(HTTPClientURLSessionOptions{}) {}

HTTPClientURLSession::HTTPClientURLSession(const HTTPClientURLSessionOptions& options)
    : makeSession_([configuration = options.configuration, make = options.makeSession] {
          return make ? make(configuration) : URLSession::sessionWithConfiguration(configuration);
      }) {}

// Releases the session without cancelling it: its tasks finish and call back.
HTTPClientURLSession::~HTTPClientURLSession() = default;

void HTTPClientURLSession::get(const URL& url, Completion onComplete) {
    std::shared_ptr<URLSession> session;
    {
        std::lock_guard lock(sessionMutex_);
        if (!session_) {
            session_ = makeSession_();
        }
        session = session_;
    }
    // The completion holds only the caller's callback, never the client.
    session
        ->dataTaskWithURL(url,
                          [onComplete = std::move(onComplete)](std::optional<Data> data,
                                                               std::shared_ptr<URLResponse> response,
                                                               std::optional<NSError> error) {
                              if (onComplete) {
                                  onComplete(classifyHTTPClientCompletion(std::move(data), response, error));
                              }
                          })
        ->resume();
}

}  // namespace orvane
