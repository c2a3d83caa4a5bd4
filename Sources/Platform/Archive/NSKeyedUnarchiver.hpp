// NSKeyedUnarchiver: rebuilds an object graph from a keyed archive.
//
// Reads the binary keyed archives that NSKeyedArchiver and the platform's own
// archiver write (see NSKeyedArchiver.hpp for the layout). Plain
// property-list values become strings, integers, doubles, Booleans, data and
// dates; NSArray, NSDictionary, NSDate, NSNull, NSString and NSData entries
// (and their NSMutable* names) become the matching Object, an NSSet or
// NSMutableSet an array of its members, an NSUUID a box holding a UUID
// (UUID.hpp); any other class is
// built only when the caller lists it among the CodingClass entries, by
// calling its factory with this coder. An object referenced twice is built
// once, so shared references stay shared. UIDs may also be written as
// {"CF$UID": n} dictionaries. The root object is the one under "root" in
// "$top"; unarchiveTopLevelObject() opens another key there, such as the
// "$0", "$1", ... that older archivers wrote.
//
// Archives come from outside, so every failure is an absent result, never a
// crash: bytes that are not a binary property list (XML property lists are
// refused: libplist 2.2's XML parser overflows the stack on deep nesting),
// a root that is not a keyed archive, a UID out of range, an object whose
// members lead back to itself, nesting deeper than keyedArchiveMaximumDepth,
// more than a million decoded objects or 64 MiB of decoded strings and data
// beyond the archive's own size, a value of the wrong type anywhere, a class
// that is not listed. A listed class's factory that throws a std::exception
// or returns null also makes the result absent (when it is the root or a
// member of a collection); decodeObject() hands a null factory result to
// the enclosing object as nothing, like a missing key.
//
// Thread safety: unarchiveObject() may be called from any thread. The coder
// it hands to initWithCoder belongs to that call alone and must not be kept;
// its encode operations throw NSException ("NSInvalidArgumentException").
//
//   std::optional<orvane::Object> root = orvane::NSKeyedUnarchiver::unarchiveObject(bytes);
//   std::shared_ptr<Point> point = orvane::NSKeyedUnarchiver::unarchivedObject<Point>(bytes);
#pragma once

#include "Platform/Archive/NSCoding.hpp"
#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/Object.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace orvane {

class NSKeyedUnarchiver final : public NSCoder {
public:
    // unarchiveObject: the root object, or nothing when the bytes are not a
    // well-formed archive. `classes` lists the user classes that may be built
    // (found by archived class name); any other user class fails.
    static std::optional<Object> unarchiveObject(const Data& data, std::span<const CodingClass> classes = {});

    // unarchiveTopLevelObject: as unarchiveObject, for the object stored
    // under `key` in "$top" (taken as written there, no "$" added).
    static std::optional<Object> unarchiveTopLevelObject(const Data& data, std::string_view key,
                                                         std::span<const CodingClass> classes = {});

    // unarchivedObject: the root object when it is a T (T itself and
    // `moreClasses` may be built), otherwise null.
    template <KeyedCodable T>
    static std::shared_ptr<T> unarchivedObject(const Data& data, std::vector<CodingClass> moreClasses = {});

    ~NSKeyedUnarchiver() override;
    NSKeyedUnarchiver(const NSKeyedUnarchiver&) = delete;
    NSKeyedUnarchiver& operator=(const NSKeyedUnarchiver&) = delete;

    // Decoding, for the object being built (see NSCoder). A key that starts
    // with "$" is looked up with one more "$", as NSKeyedArchiver stores it.
    bool containsValue(std::string_view key) const override;
    std::optional<Object> decodeObject(std::string_view key) override;
    bool decodeBool(std::string_view key) override;
    std::int64_t decodeInteger(std::string_view key) override;
    double decodeDouble(std::string_view key) override;
    // The data stored inline under the key.
    std::optional<Data> decodeBytes(std::string_view key) override;

    // Encoding is the archiver's job: these throw NSException.
    void encodeObject(const Object& object, std::string_view key) override;
    void encodeBool(bool value, std::string_view key) override;
    void encodeInteger(std::int64_t value, std::string_view key) override;
    void encodeDouble(double value, std::string_view key) override;

private:
    struct State;

    NSKeyedUnarchiver();

    std::unique_ptr<State> state_;
};

template <KeyedCodable T>
std::shared_ptr<T> NSKeyedUnarchiver::unarchivedObject(const Data& data,
                                                       std::vector<CodingClass> moreClasses) {
    moreClasses.insert(moreClasses.begin(), codingClass<T>());
    const std::optional<Object> root = unarchiveObject(data, moreClasses);
    if (!root) {
        return nullptr;
    }
    auto typed = root->as<std::shared_ptr<T>>();
    return typed ? std::move(*typed) : nullptr;
}

}  // namespace orvane
