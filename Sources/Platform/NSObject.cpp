#include "Platform/NSObject.hpp"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace orvane {

std::string qualifiedClassName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    std::string name = (status == 0 && demangled) ? demangled.get() : type.name();

    constexpr std::string_view ownNamespace = "orvane::";
    if (name.starts_with(ownNamespace)) {
        name = "TarvelOrvane::" + name.substr(ownNamespace.size());
    }
    for (std::size_t at = name.find("::"); at != std::string::npos; at = name.find("::", at + 1)) {
        name.replace(at, 2, ".");
    }
    return name;
}

std::size_t NSObject::hashValue() const {
    return std::hash<const void*>{}(this);
}

std::string NSObject::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    return "<" + className() + ": " + address + ">";
}

}  // namespace orvane
