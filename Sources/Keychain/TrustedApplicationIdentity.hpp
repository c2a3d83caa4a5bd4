// TrustedApplicationIdentity: the identity of an application that a keychain
// item trusts, and its byte form (the identity blob).
//
// An application is identified by its canonical absolute path: relative
// parts resolved against the working directory, "." and ".." removed,
// symbolic links followed. Two paths that reach the same file give the same
// identity, so an item's stored blobs compare equal, byte for byte, with the
// blobs made again from the key's paths.
//
// Blob layout, version 1 (every adaptor writes exactly this):
//   bytes 0-3  "OTAI" (magic)
//   byte  4    1 (version)
//   bytes 5-8  length of the path in bytes, unsigned, big-endian
//   then       the canonical path, UTF-8, no terminator
//
// forPath() and blobsForPaths() fail with the adaptor error "creating
// SecTrustedApplication from for app with path" naming the path: status
// errSecIO when no file exists there (or it cannot be resolved), errSecParam
// when the path holds a NUL byte.
//
// Immutable value; any thread may use it.
//
//   auto identity = orvane::TrustedApplicationIdentity::forPath("/usr/bin/vault");
//   orvane::Data blob = identity.blob();
//   auto back = orvane::TrustedApplicationIdentity::fromBlob(blob);   // same identity
#pragma once

#include "Platform/Foundation/Data.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

class TrustedApplicationIdentity {
public:
    static constexpr std::uint8_t currentVersion = 1;

    // forPath: the identity of the application at `path`; throws the adaptor
    // error when there is no file there.
    static TrustedApplicationIdentity forPath(const std::string& path);

    // blobsForPaths: the blob of each path, in order; the first path that
    // fails ends it with that error.
    static std::vector<Data> blobsForPaths(const std::vector<std::string>& paths);

    // fromBlob: the identity a blob records, or nothing when the bytes are not
    // a well-formed record of a known version.
    static std::optional<TrustedApplicationIdentity> fromBlob(const Data& blob);

    // fromCanonicalPath: an identity for a path already resolved; nothing is
    // checked on disk.
    static TrustedApplicationIdentity fromCanonicalPath(std::string canonicalPath);

    const std::string& canonicalPath() const noexcept { return canonicalPath_; }
    Data blob() const;

    friend bool operator==(const TrustedApplicationIdentity&, const TrustedApplicationIdentity&) = default;

private:
    explicit TrustedApplicationIdentity(std::string canonicalPath)
        : canonicalPath_(std::move(canonicalPath)) {}

    std::string canonicalPath_;
};

}  // namespace orvane
