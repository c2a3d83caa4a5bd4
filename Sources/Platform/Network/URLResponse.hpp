// URLResponse and HTTPURLResponse: what a server answered, without the body.
//
// A URLResponse carries the final URL (after redirects), the MIME type and the
// expected content length (-1 when unknown); an HTTPURLResponse adds the
// status code. description() shows the URL without user information, query or
// fragment, so a response can be printed without leaking them.
//
// Immutable once made; safe to share between threads.
//
//   if (auto http = std::dynamic_pointer_cast<orvane::HTTPURLResponse>(response)) {
//       if (http->statusCode() >= 400) { ... }
//   }
#pragma once

#include "Platform/Foundation/NSObject.hpp"

#include <cstdint>
#include <string>

namespace orvane {

class URLResponse : public NSObject {
public:
    URLResponse(std::string url, std::string mimeType, std::int64_t expectedContentLength)
        : url_(std::move(url)), mimeType_(std::move(mimeType)), expectedContentLength_(expectedContentLength) {}

    const std::string& url() const { return url_; }
    const std::string& mimeType() const { return mimeType_; }
    std::int64_t expectedContentLength() const { return expectedContentLength_; }

    std::string description() const override;

private:
    std::string url_;
    std::string mimeType_;
    std::int64_t expectedContentLength_;
};

class HTTPURLResponse : public URLResponse {
public:
    HTTPURLResponse(std::string url, long statusCode, std::string mimeType, std::int64_t expectedContentLength)
        : URLResponse(std::move(url), std::move(mimeType), expectedContentLength), statusCode_(statusCode) {}

    long statusCode() const { return statusCode_; }

    std::string description() const override;

private:
    long statusCode_;
};

}  // namespace orvane
