// PlistFileManagerType: a file (FileManagerType) holding a property list,
// kept in memory as a mutable dictionary and written out after each change.
//
// A conforming type supplies fileURL() (FileManagerType) and
// plistDictionary(): one long-lived dictionary that it owns and returns by
// reference on every call — write() takes it twice and relies on getting the
// same one. How it is filled at the start (from the file, or empty) is the
// conforming type's business.
//
//   - readValue(forKey): the entry in plistDictionary() — the file is not
//     read — or nothing when there is none. readValue<T>(forKey) converts it
//     with Object's checked conversion, nothing when it is not a T.
//   - write(value, forKey): sets the key to the value, or removes it when the
//     value is absent, in plistDictionary(); then writes the whole dictionary
//     to fileURL() atomically as XML (see PropertyListFile). Returns whether
//     the file was written; logs nothing. The in-memory change stays even
//     when the file write fails. Typed values go in through toObject().
//
// Both are virtual with these bodies. They are overloaded with their typed
// forms, so a type that overrides one should add
// `using PlistFileManagerType::readValue;` (or `write`) to keep the typed
// forms visible through itself.
//
// Thread safety: nothing is locked; plistDictionary() is shared state that
// callers using one object from several threads must serialise.
//
//   struct Settings : orvane::PlistFileManagerType {
//       orvane::URL fileURL() const override { return url; }
//       orvane::ObjectDictionary& plistDictionary() override { return contents; }
//       orvane::URL url;
//       orvane::ObjectDictionary contents;
//   };
//   settings.write(std::optional<std::int64_t>(3), "launchCount");
//   std::optional<std::int64_t> count = settings.readValue<std::int64_t>("launchCount");   // 3
//   settings.write(std::nullopt, "launchCount");                                          // removed
#pragma once

#include "Data/FileManagerType.hpp"
#include "Platform/Foundation/Object.hpp"

#include <optional>
#include <string_view>
#include <type_traits>

namespace orvane {

class PlistFileManagerType : public FileManagerType {
public:
    // plistDictionary: the in-memory dictionary, the same object on every call.
    virtual ObjectDictionary& plistDictionary() = 0;

    // write: sets (or, for an absent value, removes) the key and writes the
    // dictionary to fileURL(); whether the file was written.
    virtual bool write(std::optional<Object> value, std::string_view forKey);
    // An optional of any type: absent removes the key.
    template <class T>
    bool write(const std::optional<T>& value, std::string_view forKey);
    // Any value that toObject() takes.
    template <class T>
    requires(!std::is_same_v<std::remove_cvref_t<T>, std::nullopt_t>) bool write(const T& value,
                                                                                 std::string_view forKey);

    // readValue: the entry under the key in plistDictionary(), or nothing.
    virtual std::optional<Object> readValue(std::string_view forKey);
    // The entry converted to T, or nothing when it is missing or not a T.
    template <class T>
    std::optional<T> readValue(std::string_view forKey);
};

template <class T>
bool PlistFileManagerType::write(const std::optional<T>& value, std::string_view forKey) {
    return value ? write(std::optional<Object>(toObject(*value)), forKey)
                 : write(std::optional<Object>(), forKey);
}

template <class T>
requires(!std::is_same_v<std::remove_cvref_t<T>, std::nullopt_t>) bool PlistFileManagerType::write(
    const T& value, std::string_view forKey) {
    return write(std::optional<Object>(toObject(value)), forKey);
}

template <class T>
std::optional<T> PlistFileManagerType::readValue(std::string_view forKey) {
    const std::optional<Object> entry = readValue(forKey);
    return entry ? entry->as<T>() : std::nullopt;
}

}  // namespace orvane
