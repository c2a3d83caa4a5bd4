#include "Keychain/TrustedApplicationIdentity.hpp"

#include "Keychain/SecKeychainProxyType.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <span>

namespace orvane {

namespace {

constexpr std::array<std::uint8_t, 4> magic{'O', 'T', 'A', 'I'};
constexpr std::size_t headerSize = magic.size() + 1 + 4;

}  // namespace

TrustedApplicationIdentity TrustedApplicationIdentity::forPath(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        throw secKeychainError::creatingTrustedApplication(errSecParam, path);
    }
    // realpath resolves symbolic links and fails when nothing exists at the path.
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) {
        throw secKeychainError::creatingTrustedApplication(errSecIO, path);
    }
    return TrustedApplicationIdentity(std::string(resolved.get()));
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
    for (std::size_t index = 0; index < magic.size(); ++index) {
        if (bytes[index] != magic[index]) {
            return std::nullopt;
        }
    }
    if (bytes[magic.size()] != currentVersion) {
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

TrustedApplicationIdentity TrustedApplicationIdentity::fromCanonicalPath(std::string canonicalPath) {
    return TrustedApplicationIdentity(std::move(canonicalPath));
}

Data TrustedApplicationIdentity::blob() const {
    // Paths beyond 4 GiB cannot come from realpath; the length field is clamped all the same.
    const auto length = static_cast<std::uint32_t>(
        std::min<std::size_t>(canonicalPath_.size(), std::numeric_limits<std::uint32_t>::max()));
    Data blob(magic.data(), magic.size());
    const std::array<std::uint8_t, 5> header{
        currentVersion, static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
        static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    blob.append(header);
    blob.append(std::span(reinterpret_cast<const std::uint8_t*>(canonicalPath_.data()), length));
    return blob;
}

}  // namespace orvane
