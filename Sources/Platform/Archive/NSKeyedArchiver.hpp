// NSKeyedArchiver: writes an object graph as a keyed archive.
//
// The archive is the platform's format, so it travels to and from a macOS
// application: a binary property list whose root dictionary holds
// "$archiver" = "NSKeyedArchiver", "$version" = 100000, "$top" = {"root": UID}
// and "$objects", a flat array whose first entry is the string "$null". Every
// archived object is one entry of "$objects", and objects refer to each other
// by UID (their index there):
//   - strings, and number objects (Booleans, integers, doubles) are plain
//     property-list values; equal strings share one entry;
//   - data is plain property-list data;
//   - a date is {"NS.time": seconds since 2001-01-01, "$class": NSDate};
//   - the null object is {"$class": NSNull};
//   - a box holding a UUID is {"NS.uuidbytes": its 16 bytes, "$class": NSUUID};
//   - arrays are {"NS.objects": [UID...], "$class": NSArray}; dictionaries
//     are {"NS.keys": [UID...], "NS.objects": [UID...], "$class": NSDictionary};
//   - a reference to an NSObject that is also NSCoding is {"$class": UID, its
//     own keys...}, written by its encode(coder); one object referenced twice
//     is archived once;
//   - a class entry is {"$classname": name, "$classes": [name, ..., "NSObject"]},
//     one per class name, placed after the first object of that class and
//     everything that object holds. User classes are named by className().
// encodeBool, encodeInteger and encodeDouble put the plain value in the
// encoding object's own dictionary. A key that starts with "$" is stored with
// one more "$" in front, so it cannot clash with "$class".
//
// What cannot be archived makes archivedData() return nothing: a box of
// anything but a UUID, a
// reference to an object that is not NSCoding, a string or key that is not
// UTF-8, a key with a NUL byte, or nesting deeper than keyedArchiveMaximumDepth
// (which the unarchiver would refuse). An exception thrown by an object's
// encode() propagates to the caller of archivedData().
//
// Thread safety: archivedData() may be called from any thread. The coder it
// hands to encode() belongs to that call alone; the decode operations throw
// NSException ("NSInvalidArgumentException").
//
//   std::optional<orvane::Data> archive = orvane::NSKeyedArchiver::archivedData(
//       orvane::toObject(std::map<std::string, int>{{"answer", 42}}));
#pragma once

#include "Platform/Archive/NSCoding.hpp"
#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/Object.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace orvane {

// Objects nested deeper than this (arrays in arrays, objects holding objects)
// are neither archived nor unarchived.
inline constexpr std::size_t keyedArchiveMaximumDepth = 256;

class NSKeyedArchiver final : public NSCoder {
public:
    // archivedData: the archive of `rootObject`, or nothing when some object
    // in it cannot be archived.
    static std::optional<Data> archivedData(const Object& rootObject);

    ~NSKeyedArchiver() override;
    NSKeyedArchiver(const NSKeyedArchiver&) = delete;
    NSKeyedArchiver& operator=(const NSKeyedArchiver&) = delete;

    void encodeObject(const Object& object, std::string_view key) override;
    void encodeBool(bool value, std::string_view key) override;
    void encodeInteger(std::int64_t value, std::string_view key) override;
    void encodeDouble(double value, std::string_view key) override;

    // Decoding is the unarchiver's job: these throw NSException.
    bool containsValue(std::string_view key) const override;
    std::optional<Object> decodeObject(std::string_view key) override;
    bool decodeBool(std::string_view key) override;
    std::int64_t decodeInteger(std::string_view key) override;
    double decodeDouble(std::string_view key) override;

private:
    struct State;

    NSKeyedArchiver();

    std::unique_ptr<State> state_;
};

}  // namespace orvane
