// PlistProxy: typed access to a property-list file whose root is a
// dictionary, reread on every access and rewritten whole on every write.
//
// A conforming type supplies plistURL(), the file URL of the list. The
// interface supplies the rest: the typed reads and write() are virtual with
// ready-made bodies; dictionary() is not replaceable.
//
//   - dictionary(): the file's dictionary as it is now, or an empty one when
//     the file cannot be read as a dictionary (no file, not a property list,
//     hostile bytes, a root of another type). Nothing is cached or logged.
//   - readString / readBool / readDate / readInt: the value under the key
//     when it has that type (Object's checked conversion: a number is not a
//     string, and only a Boolean is a bool), otherwise nothing.
//   - write(value, withKey): the file's dictionary (or an empty one) with the
//     key set to the value, written atomically as XML (see PropertyListFile).
//     On failure — the location cannot be written, or a value has no
//     property-list form — it logs "Could not write to: " followed by the
//     URL's absoluteString() and returns false.
//
// The file is the state: a change made by another process shows in the next
// read, and two writers that interleave can lose each other's keys (the last
// whole-file write wins).
//
// Thread safety: nothing is locked. Callers that use one file from several
// threads serialise the calls themselves.
//
//   struct Preferences : orvane::PlistProxy {
//       orvane::URL plistURL() const override { return orvane::URL::fileURLWithPath(home + "/prefs.plist"); }
//   };
//   Preferences preferences;
//   preferences.write("dark", "theme");
//   std::optional<std::string> theme = preferences.readString("theme");   // "dark"
//   std::optional<std::int64_t> count = preferences.readInt("theme");      // nothing
#pragma once

#include "Platform/Foundation/Date.hpp"
#include "Platform/Foundation/Object.hpp"
#include "Platform/Foundation/URL.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class PlistProxy {
public:
    virtual ~PlistProxy() = default;

    // plistURL: the file URL of the property list.
    virtual URL plistURL() const = 0;

    virtual std::optional<std::string> readString(std::string_view withKey) const;
    virtual std::optional<bool> readBool(std::string_view withKey) const;
    virtual std::optional<Date> readDate(std::string_view withKey) const;
    virtual std::optional<std::int64_t> readInt(std::string_view withKey) const;

    // write: stores `value` under `withKey` in the file; whether it was written.
    virtual bool write(const Object& value, std::string_view withKey);

    // dictionary: the file's current dictionary, freshly read.
    ObjectDictionary dictionary() const;

protected:
    PlistProxy() = default;
    PlistProxy(const PlistProxy&) = default;
    PlistProxy& operator=(const PlistProxy&) = default;

private:
    // The entry under `key` of dictionary(), read without converting the
    // other entries.
    std::optional<Object> entry(std::string_view key) const;
};

}  // namespace orvane
