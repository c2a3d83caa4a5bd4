// HTTPClient: fetches the body of a URL with an HTTP GET and reports the
// outcome once, asynchronously.
//
// get(url, onComplete) returns at once; onComplete is kept until the request
// ends and is then called exactly once, on a background thread, with either
// the body (absent when none was delivered) or an NSError whose debug
// description says what went wrong. Implementations decide the thread;
// callers that touch user-interface state hop to the main thread themselves.
//
// Thread safety: get may be called from any thread.
//
//   client->get(*orvane::URL::fromString("https://example.org/feed"), [](auto result) {
//       if (const auto* body = result.valueIf()) { ... }
//   });
#pragma once

#include "Core/Result.hpp"
#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/NSError.hpp"
#include "Platform/Foundation/URL.hpp"

#include <functional>
#include <optional>

namespace orvane {

class HTTPClient {
public:
    using Completion = std::function<void(Result<std::optional<Data>, NSError>)>;

    virtual ~HTTPClient() = default;

    virtual void get(const URL& url, Completion onComplete) = 0;
};

}  // namespace orvane
