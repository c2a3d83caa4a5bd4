#include "Application/ServiceContainerType.hpp"

#include "Core/TarvelApple.hpp"

namespace orvane {

std::string ServiceContainerType::stripClassName(std::string_view displayName) {
    // "Optional<" is the tail of "ImplicitlyUnwrappedOptional<", so the
    // longer marker goes first.
    std::string name = tarvelapple::replace(displayName, "ImplicitlyUnwrappedOptional<", "");
    name = tarvelapple::replace(name, "Optional<", "");
    return tarvelapple::replace(name, ">", "");
}

}  // namespace orvane
