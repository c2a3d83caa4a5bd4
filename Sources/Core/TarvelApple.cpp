#include "Core/TarvelApple.hpp"

#include <system_error>

namespace tarvelapple {

std::string replace(std::string_view receiver, std::string_view target, std::string_view withString) {
    if (target.empty()) {
        return std::string(receiver);
    }
    std::string result;
    result.reserve(receiver.size());
    std::size_t from = 0;
    for (std::size_t at = receiver.find(target); at != std::string_view::npos;
         at = receiver.find(target, from)) {
        result.append(receiver.substr(from, at - from));
        result.append(withString);
        from = at + target.size();
    }
    result.append(receiver.substr(from));
    return result;
}

bool fileExists(const std::filesystem::path& path) noexcept {
    std::error_code error;
    return std::filesystem::exists(path, error) && !error;
}

orvane::NSError errorWithDebugDescription(std::string message) {
    return orvane::NSError(
        std::string(debugDescriptionErrorDomain), 0,
        {{std::string(orvane::NSDebugDescriptionErrorKey), orvane::Object(std::move(message))}});
}

}  // namespace tarvelapple
