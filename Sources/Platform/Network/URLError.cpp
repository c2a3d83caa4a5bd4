#include "Platform/Network/URLError.hpp"

#include <cctype>

namespace orvane {

std::string_view urlErrorDescription(URLErrorCode code) {
    switch (code) {
        case URLErrorCode::unknown: return "An unknown error occurred.";
        case URLErrorCode::cancelled: return "cancelled";
        case URLErrorCode::badURL: return "unsupported URL";
        case URLErrorCode::timedOut: return "The request timed out.";
        case URLErrorCode::unsupportedURL: return "unsupported URL";
        case URLErrorCode::cannotFindHost: return "A server with the specified hostname could not be found.";
        case URLErrorCode::cannotConnectToHost: return "Could not connect to the server.";
        case URLErrorCode::networkConnectionLost: return "The network connection was lost.";
        case URLErrorCode::httpTooManyRedirects: return "too many HTTP redirects";
        case URLErrorCode::notConnectedToInternet: return "The Internet connection appears to be offline.";
        case URLErrorCode::badServerResponse: return "The server returned a bad response.";
        case URLErrorCode::cannotDecodeRawData: return "cannot decode raw data";
        case URLErrorCode::cannotParseResponse: return "cannot parse response";
        case URLErrorCode::dataLengthExceedsMaximum: return "resource exceeds maximum size";
        case URLErrorCode::secureConnectionFailed:
            return "An SSL error has occurred and a secure connection to the server cannot be made.";
        case URLErrorCode::serverCertificateHasBadDate: return "The certificate for this server has expired.";
        case URLErrorCode::serverCertificateUntrusted: return "The certificate for this server is invalid.";
        case URLErrorCode::clientCertificateRequired: return "The server requires a client certificate.";
        case URLErrorCode::cannotLoadFromNetwork: return "The request could not be loaded from the network.";
    }
    return "An unknown error occurred.";
}

namespace {

bool isSchemeCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

// Characters that end a URL written inside running text.
bool endsEmbeddedURL(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0 || c == '\'' || c == '"' || c == '<' || c == '>' ||
           c == '`';
}

}  // namespace

std::string redactedURLString(std::string_view url) {
    const std::size_t separator = url.find("://");
    std::string out;
    std::size_t rest = 0;
    if (separator != std::string_view::npos &&
        url.substr(0, separator).find_first_of("/?#@") == std::string_view::npos) {
        const std::size_t authorityStart = separator + 3;
        std::size_t authorityEnd = url.find_first_of("/?#", authorityStart);
        if (authorityEnd == std::string_view::npos) {
            authorityEnd = url.size();
        }
        std::string_view authority = url.substr(authorityStart, authorityEnd - authorityStart);
        // The user information ends at the last '@' of the authority.
        if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
            authority.remove_prefix(at + 1);
        }
        out.append(url.substr(0, authorityStart));
        out.append(authority);
        rest = authorityEnd;
    }
    const std::size_t cut = url.find_first_of("?#", rest);
    out.append(url.substr(rest, cut == std::string_view::npos ? std::string_view::npos : cut - rest));
    return out;
}

std::string redactingURLsIn(std::string_view text) {
    std::string out;
    std::size_t position = 0;
    while (true) {
        const std::size_t separator = text.find("://", position);
        if (separator == std::string_view::npos) {
            out.append(text.substr(position));
            return out;
        }
        std::size_t start = separator;
        while (start > position && isSchemeCharacter(text[start - 1])) {
            --start;
        }
        std::size_t end = separator + 3;
        while (end < text.size() && !endsEmbeddedURL(text[end])) {
            ++end;
        }
        out.append(text.substr(position, start - position));
        out.append(redactedURLString(text.substr(start, end - start)));
        position = end;
    }
}

NSError makeURLError(URLErrorCode code, std::string_view url, std::string_view detail) {
    ObjectDictionary userInfo;
    userInfo.emplace(std::string(NSLocalizedDescriptionKey), std::string(urlErrorDescription(code)));
    userInfo.emplace(std::string(NSErrorFailingURLStringKey), redactedURLString(url));
    if (!detail.empty()) {
        userInfo.emplace(std::string(NSDebugDescriptionErrorKey), redactingURLsIn(detail));
    }
    return NSError(std::string(NSURLErrorDomain), static_cast<std::int64_t>(code), std::move(userInfo));
}

}  // namespace orvane
