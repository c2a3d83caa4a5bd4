// BinarySerializable<Derived>: values that turn into an opaque byte buffer
// and back, so a caller can store or pass them on without knowing how each
// type encodes itself.
//
// A type adopts it by deriving from BinarySerializable<Itself>, and gets
//   - serialize(): the value as bytes; it cannot fail;
//   - static deserialize(data): the value back, or nothing when the bytes do
//     not describe one; it never throws. The result is a std::shared_ptr for
//     a class derived from NSObject (null for nothing), a std::optional
//     otherwise.
// Ready-made operations are picked by what else the type is, first match
// wins:
//   1. KeyedCodable (NSObject + NSCoding + initWithCoder): serialize() is the
//      keyed archive of the object; deserialize() unarchives and yields the
//      root when it is a Derived (a subclass counts). Only Derived's class is
//      built, plus the classes the type lists in an optional
//      `static std::vector<CodingClass> moreCodingClasses()` (its
//      subclasses, the classes of objects it holds).
//   2. JSONCodable (nlohmann's to_json / from_json, or an adl_serializer):
//      serialize() is compact UTF-8 JSON, or an empty buffer when the value
//      cannot be encoded (a NaN or infinite number, a string that is not
//      UTF-8, nesting deeper than jsonMaximumDepth, to_json throwing);
//      deserialize() parses and converts with nlohmann's rules, nothing on
//      any failure or for a document holding what serialize() refuses.
//      Integral numbers within 64 bits reach from_json as integers. nlohmann
//      turns any other number (1.5, 1e30) into an integer member with a plain
//      cast, which is undefined when it does not fit: when documents may come
//      from elsewhere, check such members' range in from_json.
//   3. DictionaryRawRepresentable (rawValue() gives an ObjectDictionary,
//      fromRawValue(dictionary) gives std::optional<Derived>): serialize() is
//      the keyed archive of the dictionary; deserialize() is not supplied,
//      the type declares its own.
//   4. IntRawRepresentable (rawValue() gives a signed integer,
//      fromRawValue(integer) gives std::optional<Derived>): serialize() is
//      the keyed archive of the number (an archive, not eight raw bytes);
//      deserialize() unarchives, needs a number at the root, takes its
//      integer value (a Boolean is 0 or 1, a double is truncated) and hands
//      it to fromRawValue.
// A keyed archive that cannot be written (a boxed value, a string that is not
// UTF-8 or an object that is not NSCoding inside it) gives an empty buffer.
// A type that fits no kind, or wants other bytes, declares serialize() and
// deserialize(data) itself, hiding these. Being a base class, this suits
// classes and structs; an enumeration is wrapped in a struct to adopt it.
//
// Thread safety: the operations keep no state; they are as safe to call
// concurrently as reading the value is.
//
//   struct Settings : orvane::BinarySerializable<Settings> {
//       std::string name;
//       std::int64_t retries = 0;
//       NLOHMANN_DEFINE_TYPE_INTRUSIVE(Settings, name, retries)
//   };
//   orvane::Data bytes = settings.serialize();                 // {"name":...}
//   std::optional<Settings> back = Settings::deserialize(bytes);
//
//   class Note : public orvane::NSObject, public orvane::NSCoding,
//                public orvane::BinarySerializable<Note> { ... };
//   std::shared_ptr<Note> note = Note::deserialize(bytes);
#pragma once

#include "Data/JSONObjectParser.hpp"
#include "Platform/Foundation/Data.hpp"
#include "Platform/Archive/NSCoding.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"
#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Foundation/Object.hpp"

#include <nlohmann/json.hpp>

#include <concepts>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvane {

// A type that nlohmann::json can be built from and converted back to.
template <class T>
concept JSONCodable = std::constructible_from<nlohmann::json, const T&> &&
    requires(const nlohmann::json& json) {
    { json.template get<T>() } -> std::same_as<T>;
};

template <class T>
using RawValueType = std::remove_cvref_t<decltype(std::declval<const T&>().rawValue())>;

template <class T>
concept DictionaryRawRepresentable = requires(const T& value) {
    requires std::same_as<RawValueType<T>, ObjectDictionary>;
    { T::fromRawValue(value.rawValue()) } -> std::same_as<std::optional<T>>;
};

template <class T>
concept IntRawRepresentable = requires(const T& value) {
    requires detail::ObjectInteger<RawValueType<T>> && std::is_signed_v<RawValueType<T>>;
    { T::fromRawValue(value.rawValue()) } -> std::same_as<std::optional<T>>;
};

namespace detail::serialization {

template <class T>
inline constexpr bool unsupported = false;

// The archive of `root`, or an empty buffer when it cannot be archived.
Data archive(const Object& root);
// The root object of an archive holding no user classes.
std::optional<Object> unarchive(const Data& data);
// A shared pointer to `object` for the archiver: the owning one when the
// object is owned by a shared_ptr, otherwise a non-owning one for the call.
std::shared_ptr<NSObject> referenceTo(const NSObject& object);
// Compact JSON text of `json`, or an empty buffer (see the file comment).
Data encodeJSON(const nlohmann::json& json);
// The JSON value in `data`; nothing when it is not JSON or is too deep.
std::optional<nlohmann::json> decodeJSON(const Data& data);
// The platform number's integer value: a Boolean is 0 or 1, a double is
// truncated toward zero; nothing for anything else or a double out of range.
std::optional<std::int64_t> integerValue(const Object& number);

template <class T>
using Deserialized = std::conditional_t<std::derived_from<T, NSObject>, std::shared_ptr<T>, std::optional<T>>;

template <class T>
Deserialized<T> wrap(std::optional<T> value) {
    if constexpr (std::derived_from<T, NSObject>) {
        return value ? std::make_shared<T>(std::move(*value)) : nullptr;
    } else {
        return value;
    }
}

}  // namespace detail::serialization

template <class Derived>
class BinarySerializable {
public:
    Data serialize() const;
    // Returns std::shared_ptr<Derived> for an NSObject class, otherwise
    // std::optional<Derived>.
    static auto deserialize(const Data& data);
};

template <class Derived>
Data BinarySerializable<Derived>::serialize() const {
    namespace serialization = detail::serialization;
    const Derived& self = static_cast<const Derived&>(*this);
    if constexpr (KeyedCodable<Derived>) {
        return serialization::archive(Object(serialization::referenceTo(self)));
    } else if constexpr (JSONCodable<Derived>) {
        try {
            return serialization::encodeJSON(nlohmann::json(self));
        } catch (const std::exception&) {
            return Data();
        }
    } else if constexpr (DictionaryRawRepresentable<Derived>) {
        return serialization::archive(Object(self.rawValue()));
    } else if constexpr (IntRawRepresentable<Derived>) {
        return serialization::archive(Object(static_cast<std::int64_t>(self.rawValue())));
    } else {
        static_assert(serialization::unsupported<Derived>,
                      "BinarySerializable: the type is not KeyedCodable, JSONCodable or raw-representable "
                      "by a dictionary or an integer; declare serialize() and deserialize(data) in it");
    }
}

template <class Derived>
auto BinarySerializable<Derived>::deserialize(const Data& data) {
    namespace serialization = detail::serialization;
    using Result = serialization::Deserialized<Derived>;
    if constexpr (KeyedCodable<Derived>) {
        std::vector<CodingClass> moreClasses;
        if constexpr (requires { Derived::moreCodingClasses(); }) {
            moreClasses = Derived::moreCodingClasses();
        }
        return Result(NSKeyedUnarchiver::unarchivedObject<Derived>(data, std::move(moreClasses)));
    } else if constexpr (JSONCodable<Derived>) {
        std::optional<nlohmann::json> json = serialization::decodeJSON(data);
        if (!json) {
            return Result();
        }
        try {
            return serialization::wrap(std::optional<Derived>(json->template get<Derived>()));
        } catch (const std::exception&) {
            return Result();
        }
    } else if constexpr (DictionaryRawRepresentable<Derived>) {
        static_assert(serialization::unsupported<Derived>,
                      "BinarySerializable: a type whose raw value is a dictionary declares "
                      "deserialize(data) itself");
    } else if constexpr (IntRawRepresentable<Derived>) {
        using Raw = RawValueType<Derived>;
        const std::optional<Object> root = serialization::unarchive(data);
        const std::optional<std::int64_t> integer = root ? serialization::integerValue(*root) : std::nullopt;
        if (!integer || !std::in_range<Raw>(*integer)) {
            return Result();
        }
        return serialization::wrap(Derived::fromRawValue(static_cast<Raw>(*integer)));
    } else {
        static_assert(serialization::unsupported<Derived>,
                      "BinarySerializable: the type is not KeyedCodable, JSONCodable or raw-representable "
                      "by a dictionary or an integer; declare serialize() and deserialize(data) in it");
    }
}

}  // namespace orvane
