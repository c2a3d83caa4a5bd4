#include "Platform/Foundation/URL.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace orvane {

namespace {

constexpr auto npos = std::string::npos;

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int hexValue(char c) {
    if (isDigit(c)) {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}
bool isUnreserved(char c) {
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelimiter(char c) {
    switch (c) {
        case '!':
        case '$':
        case '&':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
            return true;
        default:
            return false;
    }
}
bool isRegisteredNameCharacter(char c) {
    return isUnreserved(c) || isSubDelimiter(c);
}
bool isUserInfoCharacter(char c) {
    return isRegisteredNameCharacter(c) || c == ':';
}
bool isPathCharacter(char c) {
    return isRegisteredNameCharacter(c) || c == ':' || c == '@' || c == '/';
}
bool isQueryCharacter(char c) {
    return isPathCharacter(c) || c == '?';
}

// Whether every character of `part` passes `allowed` or starts a valid
// escape. "%00" is refused: see the header.
template <class Predicate>
bool isValidComponent(std::string_view part, Predicate allowed) {
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (part[i] == '%') {
            if (i + 2 >= part.size() || !isHexDigit(part[i + 1]) || !isHexDigit(part[i + 2])) {
                return false;
            }
            if (part[i + 1] == '0' && part[i + 2] == '0') {
                return false;
            }
            i += 2;
        } else if (!allowed(part[i])) {
            return false;
        }
    }
    return true;
}

std::string percentDecoded(std::string_view part) {
    std::string decoded;
    decoded.reserve(part.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (part[i] == '%' && i + 2 < part.size() && isHexDigit(part[i + 1]) && isHexDigit(part[i + 2])) {
            decoded.push_back(static_cast<char>(hexValue(part[i + 1]) * 16 + hexValue(part[i + 2])));
            i += 2;
        } else {
            decoded.push_back(part[i]);
        }
    }
    return decoded;
}

// Escapes every byte a path may not hold; "/" stays a separator.
std::string percentEncodedPath(std::string_view path) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (char c : path) {
        if (isPathCharacter(c)) {
            encoded.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded.push_back('%');
            encoded.push_back(digits[byte >> 4]);
            encoded.push_back(digits[byte & 0x0F]);
        }
    }
    return encoded;
}

std::string_view upToFirstNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// `path` cut at its first NUL and, when relative, joined to the current
// directory (the root when that cannot be read). Never empty.
std::string absoluteFilePath(std::string_view path) {
    std::string_view usable = upToFirstNul(path);
    if (!usable.empty() && usable.front() == '/') {
        return std::string(usable);
    }
    std::error_code error;
    std::string base = std::filesystem::current_path(error).string();
    if (error || base.empty()) {
        base.assign(1, '/');
    }
    if (base.back() != '/') {
        base.push_back('/');
    }
    base.append(usable);
    return base;
}

// "host[:port]" or "[literal][:port]": where the host ends and the port
// begins (npos when no ':' follows the host).
struct HostAndPort {
    std::string_view host;
    std::optional<std::string_view> port;
    bool isLiteral = false;
};

std::optional<HostAndPort> splitHostAndPort(std::string_view hostPort) {
    HostAndPort result;
    std::size_t hostEnd = 0;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == npos) {
            return std::nullopt;
        }
        result.host = hostPort.substr(1, close - 1);
        result.isLiteral = true;
        hostEnd = close + 1;
    } else {
        hostEnd = std::min(hostPort.find(':'), hostPort.size());
        result.host = hostPort.substr(0, hostEnd);
    }
    if (hostEnd < hostPort.size()) {
        if (hostPort[hostEnd] != ':') {
            return std::nullopt;
        }
        result.port = hostPort.substr(hostEnd + 1);
    }
    return result;
}

std::string_view hostPortOf(std::string_view authority) {
    const std::size_t at = authority.find('@');
    return at == npos ? authority : authority.substr(at + 1);
}

std::optional<std::uint16_t> parsePort(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : digits) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 65535) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint16_t>(value);
}

bool isValidAuthority(std::string_view authority) {
    const std::size_t at = authority.find('@');
    if (at != npos && !isValidComponent(authority.substr(0, at), isUserInfoCharacter)) {
        return false;
    }
    const auto parts = splitHostAndPort(hostPortOf(authority));
    if (!parts) {
        return false;
    }
    if (parts->isLiteral) {
        in6_addr address{};
        const std::string literal(parts->host);
        if (inet_pton(AF_INET6, literal.c_str(), &address) != 1) {
            return false;
        }
    } else if (!isValidComponent(parts->host, isRegisteredNameCharacter)) {
        return false;
    }
    // An empty port ("host:") is allowed and means none.
    return !parts->port || parts->port->empty() || parsePort(*parts->port).has_value();
}

}  // namespace

std::optional<URL::Parts> URL::parse(std::string_view text) {
    if (text.empty() || !isAlpha(text.front())) {
        return std::nullopt;
    }
    Parts parts;
    std::size_t position = 1;
    while (position < text.size() &&
           (isAlpha(text[position]) || isDigit(text[position]) || text[position] == '+' ||
            text[position] == '-' || text[position] == '.')) {
        ++position;
    }
    if (position == text.size() || text[position] != ':') {
        return std::nullopt;
    }
    parts.schemeEnd = position;
    ++position;

    const std::size_t hash = text.find('#', position);
    const std::size_t end = hash == npos ? text.size() : hash;
    if (hash != npos) {
        parts.fragmentStart = hash + 1;
        if (!isValidComponent(text.substr(hash + 1), isQueryCharacter)) {
            return std::nullopt;
        }
    }
    const std::size_t question = text.substr(0, end).find('?', position);
    const std::size_t hierarchyEnd = question == npos ? end : question;
    if (question != npos) {
        parts.queryStart = question + 1;
        if (!isValidComponent(text.substr(question + 1, end - question - 1), isQueryCharacter)) {
            return std::nullopt;
        }
    }

    const std::string_view hierarchy = text.substr(position, hierarchyEnd - position);
    if (hierarchy.starts_with("//")) {
        parts.authorityStart = position + 2;
        const std::size_t slash = hierarchy.find('/', 2);
        parts.authorityEnd = slash == npos ? hierarchyEnd : position + slash;
        if (!isValidAuthority(text.substr(parts.authorityStart, parts.authorityEnd - parts.authorityStart))) {
            return std::nullopt;
        }
        parts.pathStart = parts.authorityEnd;
    } else {
        parts.pathStart = position;
    }
    parts.pathEnd = hierarchyEnd;
    if (!isValidComponent(text.substr(parts.pathStart, parts.pathEnd - parts.pathStart), isPathCharacter)) {
        return std::nullopt;
    }
    return parts;
}

std::optional<URL> URL::fromString(std::string_view text) {
    auto parts = parse(text);
    if (!parts) {
        return std::nullopt;
    }
    return URL(std::string(text), *parts);
}

URL URL::fileURLWithPath(std::string_view path, bool isDirectory) {
    std::string absolute = absoluteFilePath(path);
    if (isDirectory && absolute.back() != '/') {
        absolute.push_back('/');
    }
    return fromAbsoluteFilePath(absolute);
}

URL URL::fileURLWithPath(std::string_view path) {
    std::string absolute = absoluteFilePath(path);
    struct stat status {};
    if (absolute.back() != '/' && ::stat(absolute.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        absolute.push_back('/');
    }
    return fromAbsoluteFilePath(absolute);
}

URL URL::fromAbsoluteFilePath(std::string_view absolute) {
    std::string text = "file://" + percentEncodedPath(absolute);
    auto parts = parse(text);
    if (!parts) {
        throw std::logic_error("URL: an encoded file path failed to parse");
    }
    return URL(std::move(text), *parts);
}

std::string_view URL::rawPath() const {
    return std::string_view(text_).substr(parts_.pathStart, parts_.pathEnd - parts_.pathStart);
}

std::string_view URL::authority() const {
    if (parts_.authorityStart == npos) {
        return {};
    }
    return std::string_view(text_).substr(parts_.authorityStart, parts_.authorityEnd - parts_.authorityStart);
}

std::string URL::scheme() const {
    return text_.substr(0, parts_.schemeEnd);
}

std::optional<std::string> URL::host() const {
    const auto parts = splitHostAndPort(hostPortOf(authority()));
    if (!parts || parts->host.empty()) {
        return std::nullopt;
    }
    return percentDecoded(parts->host);
}

std::optional<std::uint16_t> URL::port() const {
    const auto parts = splitHostAndPort(hostPortOf(authority()));
    if (!parts || !parts->port) {
        return std::nullopt;
    }
    return parsePort(*parts->port);
}

std::string URL::path() const {
    std::string_view raw = rawPath();
    while (raw.size() > 1 && raw.back() == '/') {
        raw.remove_suffix(1);
    }
    return percentDecoded(raw);
}

std::optional<std::string> URL::query() const {
    if (parts_.queryStart == npos) {
        return std::nullopt;
    }
    const std::size_t end = parts_.fragmentStart == npos ? text_.size() : parts_.fragmentStart - 1;
    return text_.substr(parts_.queryStart, end - parts_.queryStart);
}

std::optional<std::string> URL::fragment() const {
    if (parts_.fragmentStart == npos) {
        return std::nullopt;
    }
    return text_.substr(parts_.fragmentStart);
}

bool URL::isFileURL() const {
    const std::string_view name = std::string_view(text_).substr(0, parts_.schemeEnd);
    return name.size() == 4 && (name[0] | 0x20) == 'f' && (name[1] | 0x20) == 'i' &&
           (name[2] | 0x20) == 'l' && (name[3] | 0x20) == 'e';
}

bool URL::hasDirectoryPath() const {
    return rawPath().ends_with('/');
}

std::string URL::lastPathComponent() const {
    std::string_view raw = rawPath();
    if (raw.empty()) {
        return {};
    }
    while (raw.size() > 1 && raw.back() == '/') {
        raw.remove_suffix(1);
    }
    if (raw == "/") {
        return "/";
    }
    const std::size_t slash = raw.rfind('/');
    return percentDecoded(slash == npos ? raw : raw.substr(slash + 1));
}

URL URL::deletingLastPathComponent() const {
    std::string_view raw = rawPath();
    if (raw.empty()) {
        return *this;
    }
    while (!raw.empty() && raw.back() == '/') {
        raw.remove_suffix(1);
    }
    if (raw.empty()) {
        return withRawPath("/");
    }
    const std::size_t slash = raw.rfind('/');
    const std::string_view last = slash == npos ? raw : raw.substr(slash + 1);
    if (last == "..") {
        return withRawPath(std::string(raw) + "/../");
    }
    if (last == ".") {
        return withRawPath(std::string(raw.substr(0, raw.size() - 1)) + "../");
    }
    if (slash == npos) {
        return withRawPath("./");
    }
    return withRawPath(raw.substr(0, slash + 1));
}

URL URL::appendingPathComponent(std::string_view component) const {
    std::string_view usable = upToFirstNul(component);
    // A leading slash would double the separator, and on a URL without an
    // authority "//" would start one.
    while (!usable.empty() && usable.front() == '/') {
        usable.remove_prefix(1);
    }
    if (usable.empty()) {
        return *this;
    }
    std::string path(rawPath());
    if (path.empty() ? parts_.authorityStart != npos : path.back() != '/') {
        path.push_back('/');
    }
    path += percentEncodedPath(usable);
    return withRawPath(path);
}

URL URL::withRawPath(std::string_view encodedPath) const {
    std::string text = text_.substr(0, parts_.pathStart);
    text += encodedPath;
    text += std::string_view(text_).substr(parts_.pathEnd);
    auto parts = parse(text);
    if (!parts) {
        throw std::logic_error("URL: a rebuilt URL failed to parse");
    }
    return URL(std::move(text), *parts);
}

}  // namespace orvane
