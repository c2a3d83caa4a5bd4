#include "Platform/Network/URLResponse.hpp"

#include "Platform/Network/URLError.hpp"

namespace orvane {

// Built by appending: g++ 12 at -O3 misreads chains of operator+ on strings
// as overlapping copies (-Wrestrict).
std::string URLResponse::description() const {
    std::string text = "<";
    text.append(className()).append("> { URL: ").append(redactedURLString(url_)).append(" }");
    return text;
}

std::string HTTPURLResponse::description() const {
    std::string text = "<";
    text.append(className()).append("> { URL: ").append(redactedURLString(url()));
    text.append(" } { Status Code: ").append(std::to_string(statusCode_)).append(" }");
    return text;
}

}  // namespace orvane
