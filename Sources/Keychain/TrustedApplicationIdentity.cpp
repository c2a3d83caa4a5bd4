#include "Keychain/TrustedApplicationIdentity.hpp"

#include "Keychain/SecKeychainProxyType.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <limits>
#include <span>

namespace orvane {

namespace {

constexpr std::array<std::uint8_t, 4> magic{'O', 'T', 'A', 'I'};
constexpr std::size_t headerSize = magic.size() + 1 + 4;
// Version 1 held the path with its symbolic links resolved; its layout is today's.
constexpr std::uint8_t resolvedPathVersion = 1;

}  // namespace

std::optional<std::string> TrustedApplicationIdentity::normalized(std::string_view path) {
    if (!path.starts_with('/')) {
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const auto end = path.find('/');
        const std::string_view part = path.substr(0, end);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();  // at the root, ".." stays there
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        path.remove_prefix(end == std::string_view::npos ? path.size() : end + 1);
    }
    std::string result;
    for (const std::string_view part : parts) {
        result += '/';
        result += part;
    }
    return result.empty() ? "/" : result;
}

TrustedApplicationIdentity TrustedApplicationIdentity::forPath(const std::string& path) {
    auto identity = path.find('\0') == std::string::npos ? normalized(path) : std::nullopt;
    if (!identity) {
        throw secKeychainError::creatingTrustedApplication(errSecParam, path);
    }
    // stat follows links, so a dangling link is no file either.
    struct stat status {};
    if (::stat(identity->c_str(), &status) != 0) {
        throw secKeychainError::creatingTrustedApplication(errSecIO, path);
    }
    return TrustedApplicationIdentity(std::move(*identity));
}

std::vector<Data> TrustedApplicationIdentity::blobsForPaths(const std::vector<std::string>& paths) {
    std::vector<Data> blobs;
    blobs.reserve(paths.size());
    for (const std::string& path : paths) {
        blobs.push_back(forPath(path).blob());
    }
    return blobs;
}

std::optional<TrustedApplicationIdentity> TrustedApplicationIdentity::fromBlob(const Data& blob) {
    if (blob.size() < headerSize) {
        return std::nullopt;
    }
    const auto bytes = blob.bytes();
    if (!std::equal(magic.begin(), magic.end(), bytes.begin())) {
        return std::nullopt;
    }
    const std::uint8_t version = bytes[magic.size()];
    if (version != currentVersion && version != resolvedPathVersion) {
        return std::nullopt;
    }
    std::uint32_t length = 0;
    for (std::size_t index = magic.size() + 1; index < headerSize; ++index) {
        length = (length << 8) | bytes[index];
    }
    if (blob.size() - headerSize != length) {
        return std::nullopt;
    }
    std::string path(reinterpret_cast<const char*>(bytes.data() + headerSize), length);
    if (path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return TrustedApplicationIdentity(std::move(path));
}

Data TrustedApplicationIdentity::currentBlob(const Data& stored) {
    const auto identity = fromBlob(stored);
    return identity ? identity->blob() : stored;
}

Data TrustedApplicationIdentity::blob() const {
    // A path beyond 4 GiB cannot reach us from the file system; the length field is clamped all the same.
    const auto length = static_cast<std::uint32_t>(
        std::min<std::size_t>(path_.size(), std::numeric_limits<std::uint32_t>::max()));
    Data blob(magic.data(), magic.size());
    const std::array<std::uint8_t, 5> header{
        currentVersion, static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
        static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    blob.append(header);
    blob.append(std::span(reinterpret_cast<const std::uint8_t*>(path_.data()), length));
    return blob;
}

}  // namespace orvane
