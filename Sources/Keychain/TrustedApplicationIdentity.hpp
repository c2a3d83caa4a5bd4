// TrustedApplicationIdentity: the identity of an application that a keychain
// item trusts, and its byte form (the identity blob).
//
// An application is identified by its absolute path as the application gives
// it, lexically normalized: repeated slashes collapsed, "." removed, ".."
// taking away the part before it, a trailing slash dropped. Symbolic links
// are not followed, so an application reached through a link that an update
// moves (/opt/app/current -> app-1.1) keeps its identity. A relative path is
// refused rather than resolved against whichever working directory the
// caller happens to have, and so is a path with no file behind it.
//
// Blob layout (every adaptor writes exactly this):
//   bytes 0-3  "OTAI" (magic)
//   byte  4    the version: 2 for the normalized path written today; 1 for
//              records of earlier releases, which hold the path with every
//              symbolic link resolved
//   bytes 5-8  length of the path in bytes, unsigned, big-endian
//   then       the path, UTF-8, no terminator
// A version 1 record still reads (fromBlob); currentBlob() re-encodes it as
// version 2 of the same path, so it keeps matching a key that names that
// file by a path without links. A key that reached it through a link names
// another path, and such an item then counts as trusting another application
// until it is stored again.
//
// forPath() and blobsForPaths() fail with the adaptor error "creating
// SecTrustedApplication from for app with path" naming the path: status
// errSecIO when no file exists there, errSecParam when the path is not
// absolute or holds a NUL byte.
//
// Immutable value; any thread may use it.
//
//   auto identity = orvane::TrustedApplicationIdentity::forPath("/opt/vault/current/vault");
//   orvane::Data blob = identity.blob();
//   auto back = orvane::TrustedApplicationIdentity::fromBlob(blob);   // same identity
#pragma once

#include "Platform/Foundation/Data.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class TrustedApplicationIdentity {
public:
    static constexpr std::uint8_t currentVersion = 2;

    // forPath: the identity of the application at `path`; throws the adaptor
    // error when the path is refused.
    static TrustedApplicationIdentity forPath(const std::string& path);

    // blobsForPaths: the blob of each path, in order; the first path that
    // fails ends it with that error.
    static std::vector<Data> blobsForPaths(const std::vector<std::string>& paths);

    // fromBlob: the identity a blob records, or nothing when the bytes are not
    // a well-formed record of a known version.
    static std::optional<TrustedApplicationIdentity> fromBlob(const Data& blob);

    // currentBlob: a stored blob in today's version; bytes that are no record
    // of a known version are returned unchanged (they match no path).
    static Data currentBlob(const Data& stored);

    // normalized: `path` lexically normalized; nothing when it is not absolute.
    static std::optional<std::string> normalized(std::string_view path);

    const std::string& path() const noexcept { return path_; }
    Data blob() const;

    friend bool operator==(const TrustedApplicationIdentity&, const TrustedApplicationIdentity&) = default;

private:
    explicit TrustedApplicationIdentity(std::string path) : path_(std::move(path)) {}

    std::string path_;
};

}  // namespace orvane
