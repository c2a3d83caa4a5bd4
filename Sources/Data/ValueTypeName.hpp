// valueTypeName<T>(): the name under which JSON reports a requested type,
// written the same on every platform for the plain value types:
//
//   std::string, std::string_view      "String"
//   bool                               "Bool"
//   64-, 32-, 16-, 8-bit signed        "Int", "Int32", "Int16", "Int8"
//   the same widths unsigned           "UInt", "UInt32", "UInt16", "UInt8"
//   double, float                      "Double", "Float"
//   Object (any value)                 "Any"
//   std::vector<U>, ObjectArray        "Array<" U ">"
//   std::map<std::string, U>           "Dictionary<String, " U ">"
//   std::optional<U>                   "Optional<" U ">"
//   std::shared_ptr<U>                 U's name
//   Data, Date, URL                    "Data", "Date", "URL"
//
// So std::int64_t is "Int" whether the platform spells it long or long long.
// Any other type is named by its demangled name without its leading
// namespaces ("Point" for app::Point).
//
// Thread safety: a pure function.
//
//   orvane::valueTypeName<std::map<std::string, std::vector<std::int64_t>>>();
//   // "Dictionary<String, Array<Int>>"
#pragma once

#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/Date.hpp"
#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Foundation/Object.hpp"
#include "Platform/Foundation/URL.hpp"

#include <concepts>
#include <cstddef>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace orvane {

namespace detail {
// The demangled name of a type with its leading namespaces removed.
std::string unqualifiedTypeName(const std::type_info& type);
}  // namespace detail

template <class T>
std::string valueTypeName() {
    using Type = std::remove_cvref_t<T>;
    if constexpr (std::same_as<Type, std::string> || std::same_as<Type, std::string_view>) {
        return "String";
    } else if constexpr (std::same_as<Type, bool>) {
        return "Bool";
    } else if constexpr (detail::ObjectInteger<Type>) {
        std::string name = std::is_signed_v<Type> ? "Int" : "UInt";
        if constexpr (sizeof(Type) != 8) {
            name += std::to_string(sizeof(Type) * 8);
        }
        return name;
    } else if constexpr (std::same_as<Type, double>) {
        return "Double";
    } else if constexpr (std::same_as<Type, float>) {
        return "Float";
    } else if constexpr (std::same_as<Type, Object>) {
        return "Any";
    } else if constexpr (std::same_as<Type, Data>) {
        return "Data";
    } else if constexpr (std::same_as<Type, Date>) {
        return "Date";
    } else if constexpr (std::same_as<Type, URL>) {
        return "URL";
    } else if constexpr (detail::IsVector<Type>::value) {
        return "Array<" + valueTypeName<typename detail::IsVector<Type>::Element>() + ">";
    } else if constexpr (detail::IsStringMap<Type>::value) {
        return "Dictionary<String, " + valueTypeName<typename detail::IsStringMap<Type>::Element>() + ">";
    } else if constexpr (detail::IsOptional<Type>::value) {
        return "Optional<" + valueTypeName<typename detail::IsOptional<Type>::Element>() + ">";
    } else if constexpr (detail::IsSharedPointer<Type>::value) {
        return valueTypeName<typename detail::IsSharedPointer<Type>::Element>();
    } else {
        return detail::unqualifiedTypeName(typeid(Type));
    }
}

}  // namespace orvane
