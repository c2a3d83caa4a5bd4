// PropertyListFile: a property-list file read as a dictionary and written
// whole — what the platform's NSDictionary initWithContentsOfURL: and
// writeToURL:atomically: do for PlistProxy and PlistFileManagerType.
//
// Reading takes the file at a file URL's path, binary or XML (see
// PropertyListSerialization), and answers nothing for anything else: a URL
// that is not a file URL, no file, something other than a regular file, a
// file larger than maximumSize, bytes that are not a property list, a root
// that is not a dictionary. Writing produces XML and replaces the file
// atomically (AtomicFile); it fails, leaving the file as it was, when a value
// has no property-list form or the location cannot be written.
//
// Thread safety: any thread may call these; they keep no state. Callers that
// share one file serialise their read-modify-write cycles themselves.
//
//   auto url = orvane::URL::fileURLWithPath("/home/me/.config/vault/settings.plist");
//   orvane::ObjectDictionary settings = orvane::PropertyListFile::dictionary(url).value_or({});
//   settings["launchCount"] = 3;
//   bool saved = orvane::PropertyListFile::write(settings, url);
#pragma once

#include "Platform/Foundation/Object.hpp"
#include "Platform/Foundation/URL.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class PropertyListFile {
public:
    // Larger files are not read: property lists hold settings, and a file this
    // size is more likely damage or an attack than a list.
    static constexpr std::uint64_t maximumSize = 64ULL << 20;

    // contents: the bytes of the regular file at a file URL, or nothing.
    static std::optional<std::string> contents(const URL& url);

    // dictionary: the file's root dictionary, or nothing.
    static std::optional<ObjectDictionary> dictionary(const URL& url);

    // value: the entry under `key` in the file's root dictionary — the same
    // as looking the key up in dictionary(url), without converting the other
    // entries — or nothing.
    static std::optional<Object> value(const URL& url, std::string_view key);

    // write: replaces the file with an XML property list of `dictionary`;
    // true when it was written.
    static bool write(const ObjectDictionary& dictionary, const URL& url);
};

}  // namespace orvane
