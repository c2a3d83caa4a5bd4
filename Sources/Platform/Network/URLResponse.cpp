#include "Platform/Network/URLResponse.hpp"

#include "Platform/Network/URLError.hpp"

namespace orvane {

std::string URLResponse::description() const {
    return "<" + className() + "> { URL: " + redactedURLString(url_) + " }";
}

std::string HTTPURLResponse::description() const {
    return "<" + className() + "> { URL: " + redactedURLString(url()) + " } { Status Code: " +
           std::to_string(statusCode_) + " }";
}

}  // namespace orvane
