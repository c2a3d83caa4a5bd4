// URL: a file or web location, as an immutable value.
//
// A URL is kept as its text, "scheme:[//authority]path[?query][#fragment]",
// exactly as it was written or built, plus the positions of its parts. Two
// URLs are equal when their texts are equal (no case folding, no decoding).
//
// - `fileURLWithPath` builds an absolute "file://" URL from a file-system path,
//   percent-encoding what a path may not hold ("/tmp/a b" gives
//   "file:///tmp/a%20b"). A relative path is resolved against the current
//   directory.
// - `fromString` parses text strictly and gives nothing for anything that is
//   not a URL: no valid scheme, a character a URL cannot hold (space, control,
//   non-ASCII, `"<>\^`{|}`), a bad percent escape, a malformed authority, or an
//   escaped NUL ("%00"), which no file or host name can contain — refusing it
//   keeps `path()` safe to hand to C file APIs.
// - `path()` is the path with its escapes decoded and trailing slashes
//   dropped (except for "/" itself), the form file operations take.
//
// The path operations work on the path's text and leave the query and
// fragment in place. Value type: const access from many threads is safe.
//
//   auto plist = orvane::URL::fileURLWithPath("/tmp/a b.plist");
//   plist.absoluteString();                       // "file:///tmp/a%20b.plist"
//   plist.path();                                 // "/tmp/a b.plist"
//   plist.deletingLastPathComponent().path();     // "/tmp"
//   auto web = orvane::URL::fromString("https://example.org:8443/x?y=1");
//   web->host();                                  // "example.org"
//   web->port();                                  // 8443
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class URL {
public:
    // An absolute file URL for `path`. A relative path is taken relative to the
    // current directory. When the path names an existing directory and does
    // not end in "/", a slash is added, as the platform does. The path ends at
    // its first NUL byte, the part a C file API would see.
    static URL fileURLWithPath(std::string_view path);
    // As above, but the caller says whether the path is a directory (a
    // trailing slash is then added when missing); the file system is not asked.
    static URL fileURLWithPath(std::string_view path, bool isDirectory);

    // The URL written in `text`, or nothing when the text is not a valid URL.
    static std::optional<URL> fromString(std::string_view text);

    // The scheme as written, without the colon ("file", "https").
    std::string scheme() const;
    // The host, without brackets for an IP literal and with escapes decoded;
    // nothing when there is no authority or its host is empty.
    std::optional<std::string> host() const;
    // The port given in the authority; nothing when none is written.
    std::optional<std::uint16_t> port() const;
    // The decoded path, without trailing slashes unless it is "/".
    std::string path() const;
    // The query and fragment as written (still encoded), without "?" or "#".
    std::optional<std::string> query() const;
    std::optional<std::string> fragment() const;
    // The whole text, scheme included.
    const std::string& absoluteString() const noexcept { return text_; }

    // Whether the scheme is "file" (in any letter case).
    bool isFileURL() const;
    // Whether the written path ends in "/" (a directory URL).
    bool hasDirectoryPath() const;

    // The last component of path(): "c" for "/a/b/c" and "/a/b/c/", "/" for "/",
    // "" for an empty path.
    std::string lastPathComponent() const;
    // The URL with its last path component removed, ending in "/":
    // "/a/b/c" → "/a/b/", "/a/b/" → "/a/", "/a" → "/", and "/" stays "/". A last
    // component "." or ".." is not removed but stepped out of ("/a/.." →
    // "/a/../../"), so the result still names the parent.
    URL deletingLastPathComponent() const;
    // The URL with `component` appended to its path after a "/" (added only
    // when the path does not already end in one). The component is
    // percent-encoded as a path segment, so "?" and "#" stay in the path; "/"
    // inside it is kept as a separator. It ends at its first NUL byte. An empty
    // component gives the URL unchanged.
    URL appendingPathComponent(std::string_view component) const;

    friend bool operator==(const URL& lhs, const URL& rhs) { return lhs.text_ == rhs.text_; }

private:
    // Offsets into text_; a part that is absent has npos as its start.
    struct Parts {
        std::size_t schemeEnd = 0;  // position of the ':'
        std::size_t authorityStart = std::string::npos;
        std::size_t authorityEnd = std::string::npos;
        std::size_t pathStart = 0;
        std::size_t pathEnd = 0;
        std::size_t queryStart = std::string::npos;     // just past '?'
        std::size_t fragmentStart = std::string::npos;  // just past '#'
    };

    URL(std::string text, Parts parts) : text_(std::move(text)), parts_(parts) {}
    static std::optional<Parts> parse(std::string_view text);
    static URL fromAbsoluteFilePath(std::string_view absolute);
    std::string_view rawPath() const;
    std::string_view authority() const;
    // A copy with the path replaced by `encodedPath` (already valid).
    URL withRawPath(std::string_view encodedPath) const;

    std::string text_;
    Parts parts_;
};

}  // namespace orvane

template <>
struct std::hash<orvane::URL> {
    std::size_t operator()(const orvane::URL& url) const noexcept {
        return std::hash<std::string>{}(url.absoluteString());
    }
};
