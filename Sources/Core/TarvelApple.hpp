// TarvelApple: the few string, list, file and error operations of the
// sibling utility library that this library's families call, in namespace
// `tarvelapple`. (Its notification `listen` lives in NotificationListening.)
//
//   - replace(receiver, target, withString): a copy of the receiver with every
//     occurrence of target, left to right and not overlapping, replaced by
//     withString. An empty target leaves the text as it is.
//   - first<T>(list): the first non-null element whose dynamic type is
//     exactly T (typeid equality: an element of a subclass of T does not
//     count), or nullptr.
//   - fileExists(path): whether a file or folder exists at the path,
//     following symbolic links; false when the question cannot be answered.
//   - errorWithDebugDescription(message): an NSError in the domain
//     "TarvelApple" with code 0 and one user-information entry, the message
//     under NSDebugDescriptionErrorKey.
//
// Thread safety: all are pure functions, or read the file system only.
//
//   auto key = tarvelapple::replace("Optional<Int>", "Optional<", "");   // "Int>"
//   auto child = tarvelapple::first<LoginCoordinator>(childCoordinators);
#pragma once

#include "Platform/Foundation/NSError.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace tarvelapple {

// The error domain of errorWithDebugDescription.
inline constexpr std::string_view debugDescriptionErrorDomain = "TarvelApple";

std::string replace(std::string_view receiver, std::string_view target, std::string_view withString);

template <class T, class Element>
requires std::is_polymorphic_v<Element> && std::is_base_of_v<Element, T> std::shared_ptr<T> first(
    const std::vector<std::shared_ptr<Element>>& list) {
    for (const auto& element : list) {
        if (element && typeid(*element) == typeid(T)) {
            return std::dynamic_pointer_cast<T>(element);
        }
    }
    return nullptr;
}

bool fileExists(const std::filesystem::path& path) noexcept;

orvane::NSError errorWithDebugDescription(std::string message);

}  // namespace tarvelapple
