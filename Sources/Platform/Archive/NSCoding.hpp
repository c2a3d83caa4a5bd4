// NSCoder and NSCoding: the keyed-archiving contract.
//
// A class adopts NSCoding by deriving from NSObject and NSCoding, writing its
// state in encode(with) and providing a failable decoding factory:
//
//   class Point : public orvane::NSObject, public orvane::NSCoding {
//   public:
//       void encode(orvane::NSCoder& coder) const override {
//           coder.encodeInteger(x, "x");
//       }
//       static std::shared_ptr<Point> initWithCoder(orvane::NSCoder& coder);
//       std::int64_t x = 0;
//   };
//
// Archives name classes by className(); an unarchiver finds the decoding
// factory by that name among the CodingClass entries it is given, so only the
// classes a caller lists can ever be built from outside bytes.
//
// Beside objects, an archive may hold plain values in an object's own
// dictionary: Booleans, integers, doubles and inline bytes. The typed
// decoding calls (decodeInt32, decodeInt64, decodeFloat, decodeBytes,
// decodeArrayOfObjects) reach every such field, so a class archived on
// another system can be read whatever it stored.
//
// A coder is used by one thread at a time. NSKeyedArchiver implements the
// encode operations and NSKeyedUnarchiver the decode operations; calling an
// operation of the other direction throws NSException
// ("NSInvalidArgumentException").
#pragma once

#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Foundation/Object.hpp"

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class NSCoder {
public:
    virtual ~NSCoder() = default;

    // Encoding. encodeObject stores any Object (numbers, strings, data, dates,
    // arrays, dictionaries, the null object, NSCoding references) by reference;
    // the scalar operations store the plain value under the key.
    virtual void encodeObject(const Object& object, std::string_view key) = 0;
    virtual void encodeBool(bool value, std::string_view key) = 0;
    virtual void encodeInteger(std::int64_t value, std::string_view key) = 0;
    virtual void encodeDouble(double value, std::string_view key) = 0;

    // Decoding. decodeObject yields nothing when the key is absent or its
    // object cannot be decoded; the null object when null was encoded. The
    // scalar operations yield false / 0 / 0.0 when the key is absent or holds
    // another kind of value.
    virtual bool containsValue(std::string_view key) const = 0;
    virtual std::optional<Object> decodeObject(std::string_view key) = 0;
    virtual bool decodeBool(std::string_view key) = 0;
    virtual std::int64_t decodeInteger(std::string_view key) = 0;
    virtual double decodeDouble(std::string_view key) = 0;

    // The bytes stored under the key, or nothing when the key is absent or
    // holds something else. This default reads them as an object.
    virtual std::optional<Data> decodeBytes(std::string_view key);

    // The array of objects under the key (an array or a set); nothing when
    // the key is absent or holds something else.
    std::optional<ObjectArray> decodeArrayOfObjects(std::string_view key);

    // decodeInteger narrowed or widened. A stored value that does not fit
    // throws NSException ("NSRangeException") rather than being cut, which
    // makes an unarchiving attempt fail.
    std::int32_t decodeInt32(std::string_view key);
    std::int64_t decodeInt64(std::string_view key) { return decodeInteger(key); }
    float decodeFloat(std::string_view key);
};

class NSCoding {
public:
    virtual ~NSCoding() = default;
    virtual void encode(NSCoder& coder) const = 0;
};

// A class that can be archived and built back from an archive.
template <class T>
concept KeyedCodable = std::derived_from<T, NSObject> && std::derived_from<T, NSCoding> &&
    requires(NSCoder& coder) {
    { T::initWithCoder(coder) } -> std::convertible_to<std::shared_ptr<T>>;
};

// What an unarchiver needs to build one class: its archived name and factory.
struct CodingClass {
    std::string name;
    std::function<std::shared_ptr<NSObject>(NSCoder&)> make;
};

template <KeyedCodable T>
CodingClass codingClass() {
    return CodingClass{qualifiedClassName(typeid(T)),
                       [](NSCoder& coder) -> std::shared_ptr<NSObject> { return T::initWithCoder(coder); }};
}

}  // namespace orvane
